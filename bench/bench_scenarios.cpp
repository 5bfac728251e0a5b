#include "bench_scenarios.h"

#include "bench_mod.h"
#include "bench_models.h"
#include "bench_runner.h"
#include "bench_tree.h"

#ifndef BODWRIGHT_EXAMPLES
#define BODWRIGHT_EXAMPLES "examples"
#endif

namespace bwbench {

const char* const kPlainSettings =
    "[system]\r\nGenBod=.bod, ON\r\nGenLog=.log, OFF\r\nGenMesh=.txt, OFF\r\nDebug=.dbg, OFF\r\n"
    "Origin=ON\r\nScaleFactor=1000.0, 1000.0, 1000.0\r\n"
    "StrMat=MATERIAL5: %i; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0; "
    "%1:s\r\n";

namespace {

void Write(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  WriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// Models of bench_models.h, each alone in its folder with its material file
// beside it (named after it when `withMats`).
TInput Sized(const fs::path& dir, const char* kind, std::vector<int> divisors, bool withMats) {
  TInput in;
  for (const int d : divisors) {
    for (const TModelKind& k : kModelKinds) {
      if (std::string(k.Name) != kind) continue;
      const TModelFiles files = k.Build(d);
      const std::string folder = std::string(kind) + "_" + std::to_string(d) + "/";
      Write(dir / (folder + "model.cmp"), files.Model);
      Write(dir / (folder + "model.mat"), files.Materials);
      in.Models.push_back({folder + "model.cmp", 0, {}});
      if (withMats)
        in.Models.back().MatFiles.push_back(folder + "model.mat");
      else
        in.Other.push_back(folder + "model.mat");
    }
  }
  return in;
}

TInput Sample(const fs::path& dir) {
  fs::copy_file(BODWRIGHT_EXAMPLES "/sample.cmp", dir / "sample.cmp");
  fs::copy_file(BODWRIGHT_EXAMPLES "/sample.mat", dir / "sample.mat");
  return {{{"sample.cmp", 0, {"sample.mat"}}}, {}};
}

// Three models of a modification, each once alone and once with the 100
// material files of bench_mod.h.
TInput WithMaterialFiles(const fs::path& dir) {
  TInput in;
  std::vector<std::string> mats;
  for (size_t i = 0; i < Mod().Files.size(); ++i) {
    mats.push_back("mats/" + Mod().Files[i].Name);
    Write(dir / mats.back(), ModFile(Mod(), i));
  }
  const std::pair<const char*, Bytes> models[] = {
      {"chain.cmp", ChainModel(1).Model}, {"small.cmp", SmallModModel()}, {"large.cmp", LargeModModel()}};
  for (const auto& [name, bytes] : models) {
    Write(dir / name, bytes);
    in.Models.push_back({name, 0, {}});
    in.Models.push_back({name, 0, mats});
  }
  return in;
}

// The modification of bench_tree.h, its models in the program's walk order.
TInput Modification(const fs::path& dir) {
  const TModTree& tree = ModTree();
  TInput in;
  for (size_t i = 0; i < tree.Models.size(); ++i) {
    Write(dir / tree.Models[i].Relative, TreeModelBytes(tree, i));
    in.Models.push_back({tree.Models[i].Relative, tree.Models[i].Kind == ETreeKind::Mesh ? 0 : 1, {}});
  }
  for (const TTreeMatFile& f : tree.MatFiles) {
    Write(dir / f.Relative, ModFile(Mod(), f.ModFile));
    in.Other.push_back(f.Relative);
  }
  return in;
}

TVariant Run(std::string name, std::string settings, size_t model = 0) {
  return {std::move(name), EForm::Model, std::move(settings), model, "", false};
}
TVariant FolderRun(std::string name, std::string settings) {
  return {std::move(name), EForm::Folder, std::move(settings), 0, "", false};
}
TVariant FloorOf(const std::string& of) {
  return {"floor " + of, EForm::Floor, "", 0, of, false};
}

const char* const kBodMesh = "GenMesh=.txt, ON";
const char* const kSvg = "Preview=.svg, ON";
const char* const kPng = "Preview=.png, ON";

enum : int { kQuick = 1, kInstalled = 2 };

TScenario Scenario(const char* name, int flags, int rounds, TInput (*build)(const fs::path&),
                   const char* about, std::vector<TVariant> variants, std::vector<TRatio> ratios) {
  const bool quick = (flags & kQuick) != 0, installed = (flags & kInstalled) != 0;
  return {name, about, quick, rounds, installed, build, std::move(variants), std::move(ratios)};
}

// The in-process table: one kind of model at four sizes, in six settings,
// each beside its floor and the same setting at half the size.
TScenario InProcess(const char* kind, TInput (*build)(const fs::path&)) {
  const std::pair<const char*, const char*> settings[] = {
      {"off", "GenBod=.bod, OFF"},
      {"bod+mesh", kBodMesh},
      {"all", "GenMesh=.txt, ON\nGenLog=.log, ON\nDebug=.dbg, ON"},
      {"bod", ""},
      {"svg", kSvg},
      {"png", kPng}};
  const char* sizes[] = {"1/8", "1/4", "1/2", "1"};
  TScenario s = Scenario("", kQuick, 5, build, "", {}, {});
  s.Name = std::string("inprocess-") + kind;
  s.About = std::string("the ") + kind + " model at four sizes, converted in a child of the runner, twice";
  for (size_t size = 0; size < 4; ++size) {
    for (const auto& [name, lines] : settings) {
      const std::string variant = std::string(sizes[size]) + " " + name;
      s.Variants.push_back(Run(variant, lines, size));
      s.Variants.back().InProcess = true;
      if (std::string(name) != "off") {
        s.Variants.push_back(FloorOf(variant));
        s.Ratios.push_back({variant, "floor " + variant});
      }
      if (size > 0) s.Ratios.push_back({variant, std::string(sizes[size - 1]) + " " + name});
    }
  }
  return s;
}

}  // namespace

std::vector<TScenario> Scenarios() {
  std::vector<TScenario> all = {
      Scenario("sample", kQuick | kInstalled, 5, Sample,
               "the bundled sample and its material file, installed settings",
               {Run("installed", ""), Run("png", kPng), FloorOf("installed")},
               {{"installed", "floor installed"}, {"png", "installed"}}),
      Scenario("model", kQuick, 9, [](const fs::path& d) { return Sized(d, "chain", {1}, false); },
               "the chain model (65535 vertices, 21845 random triangles), one process",
               {Run("bod+mesh", kBodMesh), FloorOf("bod+mesh"), Run("bod", ""), FloorOf("bod"),
                Run("svg", kSvg), FloorOf("svg"), Run("png", kPng)},
               {{"bod+mesh", "floor bod+mesh"},
                {"bod", "floor bod"},
                {"svg", "floor svg"},
                {"svg", "bod"},
                {"png", "bod"}}),
      Scenario("growth", kQuick, 9,
               [](const fs::path& d) {
                 return Sized(d, "chain", {4, 2, 1}, false);
               },
               "the chain model at a quarter, half and whole size, BOD and group mesh files",
               {Run("quarter", kBodMesh, 0), Run("half", kBodMesh, 1), Run("whole", kBodMesh, 2)},
               {{"half", "quarter"}, {"whole", "half"}}),
      Scenario("picture", kQuick, 9, [](const fs::path& d) { return Sized(d, "mesh", {1}, false); },
               "the mesh model (the largest legal block, small triangles): its picture against its BOD file",
               {Run("bod", ""), Run("svg", kSvg), Run("png", kPng)}, {{"svg", "bod"}, {"png", "bod"}}),
      Scenario("materials", kQuick | kInstalled, 9, WithMaterialFiles,
               "three models alone and with a modification's 100 material files, installed settings",
               {Run("chain", "", 0), Run("chain+mats", "", 1), Run("small", "", 2), Run("small+mats", "", 3),
                Run("large", "", 4), Run("large+mats", "", 5)},
               {{"chain+mats", "chain"}, {"small+mats", "small"}, {"large+mats", "large"}}),
      InProcess("mesh",
                [](const fs::path& d) {
                  return Sized(d, "mesh", {8, 4, 2, 1}, true);
                }),
      InProcess("compound",
                [](const fs::path& d) {
                  return Sized(d, "compound", {8, 4, 2, 1}, true);
                }),
      InProcess("nodes",
                [](const fs::path& d) {
                  return Sized(d, "nodes", {8, 4, 2, 1}, true);
                }),
  };
  // The modification's scenarios run by name: minutes each.
  const std::string images = "Textures=ON\nPreview=.svg, ON";
  all.push_back(
      Scenario("mod", kInstalled, 3, Modification,
               "a whole modification (2000 models, 100 material files), installed settings, images and SVG "
               "pictures on",
               {{"each", EForm::EachModel, images, 0, "", false},
                FolderRun("jobs1", images + "\nJobs=1\nFolderMat=ON"),
                FolderRun("jobs0", images + "\nJobs=0\nFolderMat=ON"),
                FolderRun("jobs1-nomat", images + "\nJobs=1\nFolderMat=OFF")},
               {{"jobs1", "each"}, {"jobs0", "jobs1"}, {"jobs1-nomat", "each"}, {"jobs1", "jobs1-nomat"}}));
  all.push_back(
      Scenario("mod-floor", kInstalled, 3, Modification,
               "the modification's folder run (Jobs=1) against its floor: pictures off, SVG and PNG; "
               "with every worker, pictures off and PNG (their memory)",
               {FolderRun("off", "Textures=ON\nJobs=1\nPreview=.svg, OFF"), FloorOf("off"),
                FolderRun("svg", "Textures=ON\nJobs=1\nPreview=.svg, ON"), FloorOf("svg"),
                FolderRun("png", "Textures=ON\nJobs=1\nPreview=.png, ON"), FloorOf("png"),
                FolderRun("off jobs0", "Textures=ON\nJobs=0\nPreview=.svg, OFF"),
                FolderRun("png jobs0", "Textures=ON\nJobs=0\nPreview=.png, ON")},
               {{"off", "floor off"},
                {"svg", "floor svg"},
                {"png", "floor png"},
                {"svg", "off"},
                {"png", "off"},
                {"png jobs0", "off jobs0"}}));
  return all;
}

}  // namespace bwbench

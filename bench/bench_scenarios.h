#pragma once
// The benchmark's scenarios: each one how its input is built, which runs of
// the program (command lines and settings) it sets side by side, and which
// ratios of them it reports.

#include <filesystem>
#include <string>
#include <vector>

namespace bwbench {

// How a run starts the program.
enum class EForm {
  Model,      // bodwright <model> <its material files>
  Folder,     // bodwright <the input's folder>
  EachModel,  // bodwright <model>, one process per model in turn
  Floor,      // no converter: the floor of another run's outputs
};

struct TVariant {
  std::string Name;
  EForm Form = EForm::Model;
  std::string Settings;    // "Key=Value" lines set over the scenario's base settings
  size_t Model = 0;        // Model: which of the input's models
  std::string FloorOf;     // Floor: the run whose outputs it writes again
  bool InProcess = false;  // Model: the conversion called in a child of the runner, not started as a program
};

// Reported as A's time / B's, round by round.
struct TRatio {
  std::string A, B;
};

// One model of an input: its path below the input's folder, the status a
// run of its own ends with, and the material files named after it.
struct TInputModel {
  std::string Path;
  int Status = 0;
  std::vector<std::string> MatFiles;
};

// What a scenario's builder wrote below its folder.
struct TInput {
  std::vector<TInputModel> Models;
  std::vector<std::string> Other;  // other input files: material files the folder run finds
};

struct TScenario {
  std::string Name;
  std::string About;
  bool Quick = false;  // in the standard set
  int Rounds = 5;
  bool InstalledSettings =
      true;  // the base: the installed settings, or a plain set of the converter's switches
  TInput (*Build)(const std::filesystem::path& dir) = nullptr;
  std::vector<TVariant> Variants;
  std::vector<TRatio> Ratios;
};

std::vector<TScenario> Scenarios();

// The plain base settings: BOD files and nothing else, as the converter's
// own switches leave them.
extern const char* const kPlainSettings;

}  // namespace bwbench

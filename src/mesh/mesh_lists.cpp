#include "mesh/mesh_lists.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

int CompareVert(const TVertRec&, const TVertRec&) {  throw std::logic_error("not built yet");
}

size_t TVertList::KeyHash::operator()(const std::array<uint32_t, 4>&) const noexcept { return 0; }

int32_t TVertList::Find(int32_t, float, float, float) const {  throw std::logic_error("not built yet");
}

int32_t TVertList::FindOrAdd(const TVertRec&) {  throw std::logic_error("not built yet");
}

void TVertList::FreeAll() { TRecList::FreeAll(); }

int32_t TMatrList::IndexOf(uint32_t) const {  throw std::logic_error("not built yet");
}

int32_t TMatrList::AddUnique(uint32_t, std::string) {  throw std::logic_error("not built yet");
}

void TMatrList::FreeAll() { TRecList::FreeAll(); }

TMeshGroup* TMeshGroups::FindPart(std::string_view) {  throw std::logic_error("not built yet");
}

int32_t TMeshGroups::IndexOfPart(std::string_view) const {  throw std::logic_error("not built yet");
}

TMeshGroup& TMeshGroups::AddGroup(TMeshGroup) {  throw std::logic_error("not built yet");
}

void TMeshGroups::FreeAll() { TRecList::FreeAll(); }

void AddMesh(TRun&, uint32_t, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t) {  throw std::logic_error("not built yet");
}

void AddVert(TRun&, float, float, float, float, float) {  throw std::logic_error("not built yet");
}

void AddTri(TRun&, uint16_t, uint16_t, uint16_t) {  throw std::logic_error("not built yet");
}

int32_t AddModelVert(TRun&, int32_t, float, float, float, float, float) {  throw std::logic_error("not built yet");
}

int32_t AddPartVert(TRun&, int32_t, float, float, float, float, float) {  throw std::logic_error("not built yet");
}

TTriRec& AddModelTri(TRun&, uint16_t, uint16_t, uint16_t) {  throw std::logic_error("not built yet");
}

TTriRec& AddPartTri(TRun&, uint16_t, uint16_t, uint16_t) {  throw std::logic_error("not built yet");
}

int32_t AddModelMatr(TRun&, uint32_t) {  throw std::logic_error("not built yet");
}

int32_t AddPartMatr(TRun&, uint32_t) {  throw std::logic_error("not built yet");
}

TMeshGroup& AddMeshGroup(TRun&, std::string, std::string, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, float, float, float, const std::array<float, 6>&, const std::array<float, 3>&, float) {  throw std::logic_error("not built yet");
}

void MatMul(const TMatrix&, const TMatrix&, TMatrix&) {  throw std::logic_error("not built yet");
}

void MatVec(const TMatrix&, const std::array<float, 4>&, std::array<float, 4>&) {  throw std::logic_error("not built yet");
}

}

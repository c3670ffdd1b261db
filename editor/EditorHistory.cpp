// EditorHistory.cpp: Undo and Redo as differences between committed states. The history keeps a
// copy of what it last saw (per facet only the editable colour, texture and coordinates; the
// slots; the highlight; the lights); recording compares the present state with it and packs what
// changed into a step. Undo writes a step's old values back, Redo its new ones.
#include "EditorHistory.h"

#include <cstring>
#include <initializer_list>

#include "Editor.h"
#include "app.h"
#include "appPlatform.h"
#include "vxmLight.h"
#include "vxmMem.h"
#include "vxmModel.h"
#include "vxmSelect.h"

namespace {

struct FacetState {
  uint32_t colour;
  VxmBitmap* texture;
  int32_t uv[6];
};

struct SlotsState {
  int32_t count;
  VxmBitmap* bitmap[VXM_MAX_TEXTURES];
  char path[VXM_MAX_TEXTURES][VXM_PATH_LENGTH];
};

struct LightsState {
  uint32_t ambient, directional;
  VxmVector direction;
};

struct HighlightState {
  bool on;
  int32_t value, spread;
};

struct Step {
  uint32_t id;
  uint32_t parts;
  uint8_t* changes;  // packed facet records (see packFacet)
  size_t changeBytes;
  SlotsState* slotsBefore;  // both null when the slots did not change
  SlotsState* slotsAfter;
  bool lights, highlight;
  LightsState lightsBefore, lightsAfter;
  HighlightState highlightBefore, highlightAfter;
};

enum { MODEL = 0, LIGHTS = 1 };
enum : uint8_t { CHANGED_COLOUR = 1, CHANGED_TEXTURE = 2 };

}  // namespace

struct EditorHistory {
  EditorHistoryLimits limits;
  Step* steps;  // steps[0, applied) are done, steps[applied, count) undone
  int32_t count, applied;
  uint32_t nextId;
  // What the history last saw.
  const VxmModel* model;
  int32_t triCount;
  FacetState* facets;
  SlotsState slots;
  HighlightState highlight;
  LightsState lights;
  bool stale[2];
  // Each part's state: the id of the last done step that changed it, or its base when none does;
  // and the id it had when it was last saved.
  uint32_t baseId[2], savedId[2];
  VxmBitmap** pictures;
  int32_t pictureCount, pictureCapacity;
  size_t changeBytes;
};

EditorHistoryLimits editorHistoryDefaultLimits(void) { return {256, (size_t)64 << 20, (size_t)64 << 20}; }

// --- What the history sees ------------------------------------------------------------------------------

static FacetState facetOf(const VxmTri& t) {
  FacetState f;
  f.colour = t.colour;
  f.texture = t.texture;
  std::memcpy(f.uv, t.uv, sizeof f.uv);
  return f;
}

static void slotsOf(const VxmModel* model, SlotsState* slots) {
  std::memset(slots, 0, sizeof *slots);
  if (!model) return;
  slots->count = model->textureCount < VXM_MAX_TEXTURES ? model->textureCount : VXM_MAX_TEXTURES;
  for (int32_t s = 0; s < slots->count; ++s) {
    slots->bitmap[s] = model->textures[s].bitmap;
    appCopyText(slots->path[s], model->textures[s].path, VXM_PATH_LENGTH);
  }
}

static bool sameSlots(const SlotsState& a, const SlotsState& b) {
  if (a.count != b.count) return false;
  for (int32_t s = 0; s < a.count; ++s)
    if (a.bitmap[s] != b.bitmap[s] || std::strcmp(a.path[s], b.path[s]) != 0) return false;
  return true;
}

static HighlightState highlightOf(const EditorState* state) {
  if (!state->model) return {false, 0, 0};
  return {state->model->highlight, state->model->highlightValue, state->highlightSpread};
}

static LightsState lightsNow(void) {
  LightsState l;
  l.ambient = vxmLightGetAmbient();
  l.directional = vxmLightGetDirectional();
  vxmLightGetDirection(&l.direction);
  return l;
}

static bool sameLights(const LightsState& a, const LightsState& b) {
  return a.ambient == b.ambient && a.directional == b.directional && std::memcmp(&a.direction, &b.direction, sizeof a.direction) == 0;
}

// The committed facets: the selection's copy (the model's own may carry a texture preview).
static const VxmTri* committed(const EditorState* state) {
  return state->selection ? state->selection->savedTris : state->model ? state->model->tris : nullptr;
}

static bool takeModel(EditorHistory* h, const EditorState* state) {
  vxmMemFree(h->facets);
  h->facets = nullptr;
  h->model = state->model;
  h->triCount = 0;
  if (state->model && state->model->triCount > 0) {
    h->facets = static_cast<FacetState*>(vxmMemAlloc(sizeof(FacetState) * (size_t)state->model->triCount));
    if (!h->facets) {
      APP_TRACE("Out of Memory!");
      h->model = nullptr;
      return false;
    }
    const VxmTri* tris = committed(state);
    for (int32_t i = 0; i < state->model->triCount; ++i) h->facets[i] = facetOf(tris[i]);
    h->triCount = state->model->triCount;
  }
  slotsOf(state->model, &h->slots);
  h->highlight = highlightOf(state);
  h->stale[MODEL] = false;
  return true;
}

// --- Steps ------------------------------------------------------------------------------------------------

static void freeStep(EditorHistory* h, Step* step) {
  vxmMemFree(step->changes);
  vxmMemFree(step->slotsBefore);
  vxmMemFree(step->slotsAfter);
  h->changeBytes -= step->changeBytes;
  std::memset(step, 0, sizeof *step);
}

static bool stepHolds(const Step& step, const VxmBitmap* picture) {
  for (const SlotsState* slots : {step.slotsBefore, step.slotsAfter})
    for (int32_t s = 0; slots && s < slots->count; ++s)
      if (slots->bitmap[s] == picture) return true;
  // Facet records name pictures too, but only ones some slot snapshot of the same step holds.
  return false;
}

static bool modelHolds(const EditorState* state, const VxmBitmap* picture) {
  const VxmModel* model = state ? state->model : nullptr;
  for (int32_t s = 0; model && s < model->textureCount && s < VXM_MAX_TEXTURES; ++s)
    if (model->textures[s].bitmap == picture) return true;
  return false;
}

static size_t pictureSize(const VxmBitmap* b) { return b ? (size_t)(b->bitsSize > 0 ? b->bitsSize : 0) + sizeof *b : 0; }

// Frees the kept pictures that neither the model nor any step holds; the bytes of those still kept
// and not in the model.
static size_t tidyPictures(EditorHistory* h, const EditorState* state) {
  size_t bytes = 0;
  for (int32_t p = 0; p < h->pictureCount;) {
    VxmBitmap* picture = h->pictures[p];
    bool held = false;
    for (int32_t s = 0; s < h->count && !held; ++s) held = stepHolds(h->steps[s], picture);
    const bool inModel = modelHolds(state, picture);
    if (!held && !inModel) {
      vxmBitmapFree(picture);
      h->pictures[p] = h->pictures[--h->pictureCount];
      continue;
    }
    if (!inModel) bytes += pictureSize(picture);
    ++p;
  }
  return bytes;
}

// The state of a part: the last done step that changed it, else its base.
static uint32_t currentId(const EditorHistory* h, int part) {
  for (int32_t s = h->applied - 1; s >= 0; --s)
    if (h->steps[s].parts & (1u << part)) return h->steps[s].id;
  return h->baseId[part];
}

static void setFlags(const EditorHistory* h, EditorState* state) {
  state->modelEdited = currentId(h, MODEL) != h->savedId[MODEL];
  state->lightsEdited = currentId(h, LIGHTS) != h->savedId[LIGHTS];
}

// Drops the oldest step; the parts it changed now start from after it.
static void dropOldest(EditorHistory* h) {
  if (h->count == 0) return;
  Step* oldest = &h->steps[0];
  for (int part : {MODEL, LIGHTS})
    if (oldest->parts & (1u << part)) h->baseId[part] = oldest->id;
  freeStep(h, oldest);
  std::memmove(h->steps, h->steps + 1, sizeof(Step) * (size_t)(h->count - 1));
  --h->count;
  if (h->applied > 0) --h->applied;
}

static void dropUndone(EditorHistory* h) {
  while (h->count > h->applied) freeStep(h, &h->steps[--h->count]);
}

static void keepWithinLimits(EditorHistory* h, const EditorState* state) {
  while (h->count > 0 && (h->count > h->limits.steps || h->changeBytes > h->limits.changeBytes)) dropOldest(h);
  while (tidyPictures(h, state) > h->limits.pictureBytes && h->count > 0) dropOldest(h);
}

// A growing byte buffer for the facet records.
struct Packer {
  uint8_t* bytes;
  size_t used, capacity;
  bool failed;
};

static void pack(Packer* p, const void* data, size_t size) {
  if (p->failed) return;
  if (p->used + size > p->capacity) {
    size_t capacity = p->capacity ? p->capacity * 2 : 256;
    while (capacity < p->used + size) capacity *= 2;
    uint8_t* grown = static_cast<uint8_t*>(vxmMemRealloc(p->bytes, capacity));
    if (!grown) {
      p->failed = true;
      return;
    }
    p->bytes = grown;
    p->capacity = capacity;
  }
  std::memcpy(p->bytes + p->used, data, size);
  p->used += size;
}

// One facet's record: its index, what changed, then old and new colour and/or old and new texture
// with coordinates. A painted facet takes 13 bytes.
static void packFacet(Packer* p, int32_t index, const FacetState& before, const FacetState& after) {
  uint8_t mask = 0;
  if (before.colour != after.colour) mask |= CHANGED_COLOUR;
  if (before.texture != after.texture || std::memcmp(before.uv, after.uv, sizeof before.uv) != 0) mask |= CHANGED_TEXTURE;
  if (!mask) return;
  pack(p, &index, sizeof index);
  pack(p, &mask, 1);
  if (mask & CHANGED_COLOUR) {
    pack(p, &before.colour, sizeof before.colour);
    pack(p, &after.colour, sizeof after.colour);
  }
  if (mask & CHANGED_TEXTURE) {
    pack(p, &before.texture, sizeof before.texture);
    pack(p, before.uv, sizeof before.uv);
    pack(p, &after.texture, sizeof after.texture);
    pack(p, after.uv, sizeof after.uv);
  }
}

// Writes the old (undo) or new (redo) values of a step's facet records into the model's facets,
// their committed copy and what the history has seen.
static void applyFacets(EditorHistory* h, EditorState* state, const Step& step, bool redo) {
  VxmModel* model = state->model;
  VxmTri* saved = state->selection ? state->selection->savedTris : nullptr;
  const uint8_t* at = step.changes;
  const uint8_t* end = step.changes + step.changeBytes;
  while (at < end) {
    int32_t index;
    uint8_t mask;
    std::memcpy(&index, at, sizeof index);
    mask = at[sizeof index];
    at += sizeof index + 1;
    FacetState value = h->facets[index];
    if (mask & CHANGED_COLOUR) {
      std::memcpy(&value.colour, at + (redo ? sizeof(uint32_t) : 0), sizeof value.colour);
      at += 2 * sizeof(uint32_t);
    }
    if (mask & CHANGED_TEXTURE) {
      const size_t half = sizeof(VxmBitmap*) + sizeof value.uv;
      const uint8_t* from = at + (redo ? half : 0);
      std::memcpy(&value.texture, from, sizeof value.texture);
      std::memcpy(value.uv, from + sizeof value.texture, sizeof value.uv);
      at += 2 * half;
    }
    h->facets[index] = value;
    for (VxmTri* tri : {&model->tris[index], saved ? &saved[index] : nullptr}) {
      if (!tri) continue;
      tri->colour = value.colour;
      tri->texture = value.texture;
      std::memcpy(tri->uv, value.uv, sizeof value.uv);
    }
  }
}

static void applySlots(EditorHistory* h, EditorState* state, const SlotsState& slots) {
  VxmModel* model = state->model;
  for (int32_t s = 0; s < VXM_MAX_TEXTURES; ++s) {
    VxmTexture* slot = &model->textures[s];
    slot->bitmap = s < slots.count ? slots.bitmap[s] : nullptr;
    appCopyText(slot->path, s < slots.count ? slots.path[s] : "", VXM_PATH_LENGTH);
    char* cut = std::strrchr(slot->path, '\\');
    slot->name = cut ? cut + 1 : slot->path;
  }
  model->textureCount = slots.count;
  h->slots = slots;
  // The texture that was current may be gone: the library's list starts again from the first.
  state->currentTexture = -1;
  state->currentTextureBitmap = nullptr;
}

static void applyHighlight(EditorHistory* h, EditorState* state, const HighlightState& value) {
  state->model->highlight = value.on;
  state->model->highlightValue = value.value;
  state->highlightSpread = value.spread;
  if (state->lightModel) {
    state->lightModel->highlight = value.on;
    if (value.on) state->lightModel->highlightValue = value.spread;
  }
  h->highlight = value;
}

static void applyLights(EditorHistory* h, EditorState* state, const LightsState& value) {
  vxmLightSetAmbient(value.ambient);
  vxmLightSetDirectional(value.directional);
  vxmLightSetDirection(&value.direction);
  for (int i = 0; i < 3; ++i) {
    state->ambientColour[i] = (uint8_t)(value.ambient >> (8 * i));
    state->directionalColour[i] = (uint8_t)(value.directional >> (8 * i));
  }
  state->lightDirection = value.direction;
  h->lights = value;
}

// --- The interface -----------------------------------------------------------------------------------------

EditorHistory* editorHistoryCreate(const EditorState* state, EditorHistoryLimits limits) {
  EditorHistory* h = static_cast<EditorHistory*>(vxmMemCalloc(1, sizeof(EditorHistory)));
  if (!h) return nullptr;
  if (limits.steps < 1) limits.steps = 1;
  h->limits = limits;
  h->steps = static_cast<Step*>(vxmMemCalloc((size_t)limits.steps + 1, sizeof(Step)));
  if (!h->steps || !state || !takeModel(h, state)) {
    vxmMemFree(h->steps);
    vxmMemFree(h);
    return nullptr;
  }
  h->lights = lightsNow();
  h->nextId = 1;
  return h;
}

void editorHistoryFree(EditorHistory* history, const EditorState* state) {
  if (!history) return;
  while (history->count > 0) freeStep(history, &history->steps[--history->count]);
  history->applied = 0;
  tidyPictures(history, state);
  vxmMemFree(history->pictures);
  vxmMemFree(history->steps);
  vxmMemFree(history->facets);
  vxmMemFree(history);
}

void editorHistoryKeepPicture(EditorHistory* history, VxmBitmap* picture) {
  if (!history || !picture) {
    vxmBitmapFree(picture);
    return;
  }
  for (int32_t p = 0; p < history->pictureCount; ++p)
    if (history->pictures[p] == picture) return;  // kept already (it came back by an Undo)
  if (history->pictureCount == history->pictureCapacity) {
    int32_t capacity = history->pictureCapacity ? history->pictureCapacity * 2 : 16;
    VxmBitmap** grown = static_cast<VxmBitmap**>(vxmMemRealloc(history->pictures, sizeof(VxmBitmap*) * (size_t)capacity));
    if (!grown) {
      // Without room to keep it the picture cannot come back: no step may name it any more.
      APP_TRACE("Out of Memory!");
      for (int32_t s = 0; s < history->count; ++s) freeStep(history, &history->steps[s]);
      history->count = history->applied = 0;
      vxmBitmapFree(picture);
      return;
    }
    history->pictures = grown;
    history->pictureCapacity = capacity;
  }
  history->pictures[history->pictureCount++] = picture;
}

bool editorHistoryRecord(EditorHistory* h, EditorState* state) {
  if (!h || !state) return false;
  if (state->model != h->model) h->stale[MODEL] = true;
  if (h->stale[MODEL] && !takeModel(h, state)) return false;
  if (h->stale[LIGHTS]) {
    h->lights = lightsNow();
    h->stale[LIGHTS] = false;
  }
  Step step = {};
  Packer packer = {};
  const VxmTri* tris = committed(state);
  for (int32_t i = 0; tris && i < h->triCount; ++i) packFacet(&packer, i, h->facets[i], facetOf(tris[i]));
  SlotsState slots;
  slotsOf(state->model, &slots);
  const HighlightState highlight = highlightOf(state);
  const LightsState lights = lightsNow();
  const bool slotsChanged = !sameSlots(slots, h->slots);
  step.highlight = highlight.on != h->highlight.on || highlight.value != h->highlight.value ||
                   highlight.spread != h->highlight.spread;
  step.lights = !sameLights(lights, h->lights);
  if (packer.failed || (slotsChanged && !(step.slotsBefore = static_cast<SlotsState*>(vxmMemAlloc(sizeof(SlotsState))))) ||
      (slotsChanged && !(step.slotsAfter = static_cast<SlotsState*>(vxmMemAlloc(sizeof(SlotsState)))))) {
    // No room for the step: the history starts again from here rather than undo wrongly later.
    APP_TRACE("Out of Memory!");
    vxmMemFree(packer.bytes);
    vxmMemFree(step.slotsBefore);
    h->stale[MODEL] = h->stale[LIGHTS] = true;
    while (h->count > 0) freeStep(h, &h->steps[--h->count]);
    h->applied = 0;
    for (int part : {MODEL, LIGHTS}) h->baseId[part] = h->nextId++;
    return false;
  }
  if (packer.used == 0 && !slotsChanged && !step.highlight && !step.lights) return false;
  step.id = h->nextId++;
  step.changes = packer.bytes;
  step.changeBytes = packer.used;
  if (slotsChanged) {
    *step.slotsBefore = h->slots;
    *step.slotsAfter = slots;
  }
  step.highlightBefore = h->highlight;
  step.highlightAfter = highlight;
  step.lightsBefore = h->lights;
  step.lightsAfter = lights;
  step.parts = (packer.used || slotsChanged || step.highlight ? (uint32_t)EDITOR_PART_MODEL : 0u) |
               (step.lights ? (uint32_t)EDITOR_PART_LIGHTS : 0u);
  // What the history sees is now the present state.
  for (int32_t i = 0; tris && i < h->triCount; ++i) h->facets[i] = facetOf(tris[i]);
  h->slots = slots;
  h->highlight = highlight;
  h->lights = lights;
  dropUndone(h);
  if (h->count == h->limits.steps + 1) dropOldest(h);
  h->steps[h->count++] = step;
  h->applied = h->count;
  h->changeBytes += step.changeBytes;
  keepWithinLimits(h, state);
  setFlags(h, state);
  return true;
}

bool editorHistoryCanUndo(const EditorHistory* h) { return h && h->applied > 0; }
bool editorHistoryCanRedo(const EditorHistory* h) { return h && h->applied < h->count; }

static uint32_t applyStep(EditorHistory* h, EditorState* state, const Step& step, bool redo) {
  if ((step.parts & EDITOR_PART_MODEL) && state->model) {
    if (step.slotsBefore) applySlots(h, state, redo ? *step.slotsAfter : *step.slotsBefore);
    applyFacets(h, state, step, redo);
    if (step.highlight) applyHighlight(h, state, redo ? step.highlightAfter : step.highlightBefore);
  }
  if (step.parts & EDITOR_PART_LIGHTS) applyLights(h, state, redo ? step.lightsAfter : step.lightsBefore);
  return step.parts;
}

uint32_t editorHistoryUndo(EditorHistory* h, EditorState* state) {
  if (!editorHistoryCanUndo(h) || !state) return 0;
  const uint32_t parts = applyStep(h, state, h->steps[h->applied - 1], false);
  --h->applied;
  setFlags(h, state);
  return parts;
}

uint32_t editorHistoryRedo(EditorHistory* h, EditorState* state) {
  if (!editorHistoryCanRedo(h) || !state) return 0;
  const uint32_t parts = applyStep(h, state, h->steps[h->applied], true);
  ++h->applied;
  setFlags(h, state);
  return parts;
}

void editorHistorySaved(EditorHistory* h, uint32_t parts) {
  if (!h) return;
  for (int part : {MODEL, LIGHTS})
    if (parts & (1u << part)) h->savedId[part] = currentId(h, part);
}

void editorHistoryRestart(EditorHistory* h, EditorState* state, uint32_t parts) {
  if (!h) return;
  // Steps lose the parts replaced; steps left with nothing go.
  int32_t kept = 0, keptApplied = 0;
  for (int32_t s = 0; s < h->count; ++s) {
    Step* step = &h->steps[s];
    if (parts & EDITOR_PART_LIGHTS) step->lights = false;
    if (parts & EDITOR_PART_MODEL) {
      h->changeBytes -= step->changeBytes;
      vxmMemFree(step->changes);
      vxmMemFree(step->slotsBefore);
      vxmMemFree(step->slotsAfter);
      step->changes = nullptr;
      step->slotsBefore = step->slotsAfter = nullptr;
      step->changeBytes = 0;
      step->highlight = false;
    }
    step->parts &= ~parts;
    if (!step->parts) continue;
    if (s < h->applied) ++keptApplied;
    h->steps[kept++] = *step;
  }
  h->count = kept;
  h->applied = keptApplied;
  for (int part : {MODEL, LIGHTS})
    if (parts & (1u << part)) {
      h->baseId[part] = h->savedId[part] = h->nextId++;
      h->stale[part] = true;
    }
  // Pictures back in the replaced model are its own again: its owner frees them with it.
  for (int32_t p = 0; (parts & EDITOR_PART_MODEL) && p < h->pictureCount;)
    if (modelHolds(state, h->pictures[p]))
      h->pictures[p] = h->pictures[--h->pictureCount];
    else
      ++p;
  tidyPictures(h, state);
}

int32_t editorHistorySteps(const EditorHistory* h) { return h ? h->count : 0; }
int32_t editorHistoryRedoSteps(const EditorHistory* h) { return h ? h->count - h->applied : 0; }

size_t editorHistoryBytes(const EditorHistory* h) {
  if (!h) return 0;
  size_t bytes = 0;
  for (int32_t s = 0; s < h->count; ++s)
    bytes += sizeof(Step) + h->steps[s].changeBytes + (h->steps[s].slotsBefore ? 2 * sizeof(SlotsState) : 0);
  return bytes;
}

size_t editorHistoryPictureBytes(const EditorHistory* h) {
  size_t bytes = 0;
  for (int32_t p = 0; h && p < h->pictureCount; ++p) bytes += pictureSize(h->pictures[p]);
  return bytes;
}

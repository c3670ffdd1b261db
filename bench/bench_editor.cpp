// bench_editor.cpp: the editor's workspace on a 100,000-facet model in a 600 by 600 workspace: a
// whole workspace render against the single-facet redraw that painting by dragging uses. Prints
// both times and their ratio (the single facet should cost at least 100 times less). Then Undo
// and Redo on the same model: a one-facet paint and a whole-model colour change, each against one
// workspace frame, with the memory each step holds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "Editor.h"
#include "EditorHistory.h"
#include "app.h"
#include "appHost.h"

namespace {

constexpr int32_t SIDE = 600;

// A sphere-like lathe of 251 profile points and 200 segments: 100,000 facets.
VxmModel* makeModel() {
  std::vector<VxmVector> profile(251);
  for (size_t k = 0; k < profile.size(); ++k) {
    double a = (double)k * 3.14159265358979 / 250.0;
    profile[k] = {(float)-vxmMathSin(a), (float)-vxmMathCos(a), 0.0f};
  }
  VxmModel* model = vxmModelCreateLathe(profile.data(), (int32_t)profile.size(), nullptr, 200);
  if (model) vxmModelCalcAverageNormals(model);
  return model;
}

struct Workspace {
  EditorState state;
  std::vector<int32_t> facets;  // facets in sight, to redraw in turn
};

bool openWorkspace(Workspace* w) {
  editorResetState(&w->state);
  w->state.workspaceRect = {0, 0, SIDE, SIDE, SIDE, SIDE};
  w->state.workspaceBitmap = vxmBitmapCreate(SIDE, SIDE, 24);
  VxmModel* model = makeModel();
  if (!w->state.workspaceBitmap || !model || !vxmRenderInit() || !editorInstallModel(&w->state, model)) return false;
  w->state.renderFlags = VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_SMOOTH;
  editorRenderWorkspace(&w->state);
  for (int32_t y = SIDE / 4; y < 3 * SIDE / 4; y += 15)
    for (int32_t x = SIDE / 4; x < 3 * SIDE / 4; x += 15) {
      int32_t f = vxmSelectionPick(w->state.selection, x, y);
      if (f >= 0) w->facets.push_back(f);
    }
  return !w->facets.empty();
}

Workspace* workspace() {
  static Workspace w;
  static bool ready = openWorkspace(&w);
  return ready ? &w : nullptr;
}

void fullRender(benchmark::State& s) {
  Workspace* w = workspace();
  if (!w) return s.SkipWithError("the workspace could not be made");
  for (auto _ : s) editorRenderWorkspace(&w->state);
}

void facetRedraw(benchmark::State& s) {
  Workspace* w = workspace();
  if (!w) return s.SkipWithError("the workspace could not be made");
  size_t i = 0;
  int32_t x0, y0, x1, y1;
  for (auto _ : s) {
    // Painting by dragging: the facet changes colour and is drawn over the last frame.
    int32_t f = w->facets[i++ % w->facets.size()];
    w->state.model->tris[f].colour ^= 0x010101;
    benchmark::DoNotOptimize(editorRenderFacet(&w->state, f, &x0, &y0, &x1, &y1));
  }
}

// Median time of one call over `rounds` batches, in microseconds.
template <typename F>
double medianMicroseconds(F call, int rounds, int perRound) {
  std::vector<double> times;
  for (int r = 0; r < rounds; ++r) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < perRound; ++i) call(i);
    std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
    times.push_back(took.count() / perRound);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  appHostSetInstallPath("");
  appEnableMessages(false);
  benchmark::RegisterBenchmark("EditorWorkspace/full_render_100k_600", fullRender)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("EditorWorkspace/single_facet_100k_600", facetRedraw)->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Workspace* w = workspace();
  if (!w) return 1;
  const double full = medianMicroseconds([&](int) { editorRenderWorkspace(&w->state); }, 9, 5);
  int32_t x0, y0, x1, y1;
  const double facet = medianMicroseconds(
      [&](int i) { editorRenderFacet(&w->state, w->facets[(size_t)i % w->facets.size()], &x0, &y0, &x1, &y1); }, 9,
      2000);
  std::printf("editor workspace, %d facets at %dx%d: full render %.3f ms, single-facet redraw %.3f us, ratio %.0f\n",
              w->state.model->triCount, SIDE, SIDE, full / 1000.0, facet, full / facet);

  // Undo and Redo: each step recorded once, then undone and redone in turn.
  EditorState& st = w->state;
  st.history = editorHistoryCreate(&st, editorHistoryDefaultLimits());
  if (!st.history) return 1;
  struct Case {
    const char* name;
    void (*edit)(EditorState*);
  };
  const Case cases[] = {
      {"one-facet paint", [](EditorState* e) {
         e->currentColour[0] ^= 0x55;
         editorApplyFacetTool(e, TOOL_PAINT, 1234, nullptr);
       }},
      {"whole-model colour", [](EditorState* e) {
         e->currentColour[1] ^= 0x55;
         editorColourAll(e);
       }},
  };
  for (const Case& c : cases) {
    const size_t before = editorHistoryBytes(st.history);
    c.edit(&st);
    editorHistoryRecord(st.history, &st);
    const size_t bytes = editorHistoryBytes(st.history) - before;
    const double undoRedo = medianMicroseconds(
        [&](int i) { i % 2 ? editorHistoryRedo(st.history, &st) : editorHistoryUndo(st.history, &st); }, 9, 20);
    std::printf("undo/redo of a %s on %d facets: %.3f ms a step (%.3f of a workspace frame), %zu bytes held by the step\n",
                c.name, st.model->triCount, undoRedo / 1000.0, undoRedo / full, bytes);
  }
  editorHistoryFree(st.history, &st);
  st.history = nullptr;
  return 0;
}

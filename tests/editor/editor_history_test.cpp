// editor_history_test.cpp: Undo and Redo: a drag of many paints is one step, model and lighting
// steps share the history while each part's edited flag follows its own steps (back at the saved
// state a part is no longer edited), a deleted texture comes back with its picture and its facets,
// memory grows with what a step changes, the oldest steps go first, and New forgets the model's.
#include <gtest/gtest.h>

#include <cstring>

#include "Editor.h"
#include "EditorHistory.h"
#include "TestSupport.h"
#include "vxmLight.h"
#include "vxmMem.h"

namespace {

// A strip of `count` facets over four vertices, each its own colour.
VxmModel* makeStrip(int32_t count) {
  VxmModel* m = vxmModelCreate(4, 0, count);
  const VxmVector v[4] = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
  for (int i = 0; i < 4; ++i) m->vertices[i] = v[i];
  for (int32_t t = 0; t < count; ++t) {
    m->tris[t].v[0] = 0, m->tris[t].v[1] = 2, m->tris[t].v[2] = 1 + (t & 1) * 2;
    m->tris[t].colour = 0x010000u * (uint32_t)(t % 200) + 7;
  }
  return m;
}

struct History : ::testing::Test {
  EditorState s;
  long liveAtStart = 0;
  void SetUp() override {
    liveAtStart = vxmMemLiveBlocks();
    editorResetState(&s);
    s.workspaceRect = {100, 5, 400, 305, 300, 300};
    vxmLightSetAmbient(0x101010);
    vxmLightSetDirectional(0x202020);
    ASSERT_TRUE(editorInstallModel(&s, makeStrip(6)));
    s.history = editorHistoryCreate(&s, editorHistoryDefaultLimits());
    ASSERT_NE(s.history, nullptr);
  }
  void TearDown() override {
    editorHistoryFree(s.history, &s);
    vxmSelectionFree(s.selection);
    vxmModelFree(s.model);
    EXPECT_EQ(vxmMemLiveBlocks(), liveAtStart);  // steps, kept pictures and all
  }
  void paint(int32_t facet, uint32_t colour) {
    s.currentColour[0] = (uint8_t)colour, s.currentColour[1] = (uint8_t)(colour >> 8), s.currentColour[2] = (uint8_t)(colour >> 16);
    editorApplyFacetTool(&s, TOOL_PAINT, facet, nullptr);
  }
  uint32_t colour(int32_t facet) const {
    EXPECT_EQ(s.model->tris[facet].colour, s.selection->savedTris[facet].colour);
    return s.model->tris[facet].colour;
  }
};

TEST_F(History, ADragIsOneStepAndEachPartsFlagFollowsItsOwnSteps) {
  EXPECT_FALSE(editorHistoryCanUndo(s.history));
  EXPECT_FALSE(editorHistoryRecord(s.history, &s));  // nothing changed
  // One drag paints three facets: one step.
  for (int32_t f : {1, 2, 4}) paint(f, 0xAA0001);
  ASSERT_TRUE(editorHistoryRecord(s.history, &s));
  EXPECT_EQ(editorHistorySteps(s.history), 1);
  EXPECT_TRUE(s.modelEdited);
  // A lighting step after it.
  vxmLightSetAmbient(0x303132);
  ASSERT_TRUE(editorHistoryRecord(s.history, &s));
  EXPECT_TRUE(s.lightsEdited);
  // Saving the model marks its present state; undoing the lights leaves the model saved.
  s.modelEdited = false;
  editorHistorySaved(s.history, EDITOR_PART_MODEL);
  EXPECT_EQ(editorHistoryUndo(s.history, &s), (uint32_t)EDITOR_PART_LIGHTS);
  EXPECT_EQ(vxmLightGetAmbient(), 0x101010u);
  EXPECT_EQ(s.ambientColour[0], 0x10);
  EXPECT_FALSE(s.lightsEdited);
  EXPECT_FALSE(s.modelEdited);
  // Undoing the drag returns all three facets at once; the model differs from its saved file.
  EXPECT_EQ(editorHistoryUndo(s.history, &s), (uint32_t)EDITOR_PART_MODEL);
  EXPECT_EQ(colour(1), 0x010007u);
  EXPECT_EQ(colour(2), 0x020007u);
  EXPECT_EQ(colour(4), 0x040007u);
  EXPECT_EQ(colour(3), 0x030007u);
  EXPECT_TRUE(s.modelEdited);
  EXPECT_FALSE(editorHistoryCanUndo(s.history));
  // Redo twice: back at the saved model, lights edited again.
  EXPECT_EQ(editorHistoryRedo(s.history, &s), (uint32_t)EDITOR_PART_MODEL);
  EXPECT_EQ(colour(2), 0xAA0001u);
  EXPECT_FALSE(s.modelEdited);
  EXPECT_EQ(editorHistoryRedo(s.history, &s), (uint32_t)EDITOR_PART_LIGHTS);
  EXPECT_EQ(vxmLightGetAmbient(), 0x303132u);
  EXPECT_TRUE(s.lightsEdited);
  EXPECT_FALSE(editorHistoryCanRedo(s.history));
  // A new edit after an undo drops what was undone.
  editorHistoryUndo(s.history, &s);
  paint(0, 0x00FF00);
  ASSERT_TRUE(editorHistoryRecord(s.history, &s));
  EXPECT_FALSE(editorHistoryCanRedo(s.history));
  EXPECT_EQ(editorHistorySteps(s.history), 2);
}

TEST_F(History, ADeletedTextureComesBackWithItsPictureAndItsFacets) {
  VxmModel* m = s.model;
  for (int i = 0; i < 2; ++i) {
    m->textures[i].bitmap = vxmBitmapCreate(2 + i, 2, 24);
    std::snprintf(m->textures[i].path, sizeof m->textures[i].path, "T\\t%d.bmp", i);
    m->textures[i].name = m->textures[i].path + 2;
  }
  m->textureCount = 2;
  VxmBitmap* first = m->textures[0].bitmap;
  VxmBitmap* second = m->textures[1].bitmap;
  m->tris[3].texture = first;
  m->tris[3].uv[4] = 4096;
  vxmSelectionSaveTris(s.selection);
  editorHistoryRestart(s.history, &s, EDITOR_PART_MODEL);  // the textures are part of the model's start
  editorHistoryRecord(s.history, &s);
  // Delete the first: the last slot moves into its place, its facet turns grey.
  VxmBitmap* gone = vxmModelDetachTexture(m, 0);
  vxmSelectionSaveTris(s.selection);
  editorHistoryKeepPicture(s.history, gone);
  ASSERT_TRUE(editorHistoryRecord(s.history, &s));
  ASSERT_EQ(m->textureCount, 1);
  EXPECT_EQ(m->textures[0].bitmap, second);
  EXPECT_EQ(m->tris[3].texture, nullptr);
  EXPECT_GT(editorHistoryPictureBytes(s.history), 0u);
  editorHistoryUndo(s.history, &s);
  ASSERT_EQ(m->textureCount, 2);
  EXPECT_EQ(m->textures[0].bitmap, first);
  EXPECT_STREQ(m->textures[0].name, "t0.bmp");
  EXPECT_EQ(m->textures[1].bitmap, second);
  EXPECT_EQ(m->tris[3].texture, first);
  EXPECT_EQ(s.selection->savedTris[3].uv[4], 4096);
  EXPECT_EQ(m->tris[3].colour, 0x030007u);
  // Redo deletes it again; a new step then drops the undone one, and TearDown finds every
  // picture freed exactly once (the model's with the model, the kept one by the history).
  editorHistoryRedo(s.history, &s);
  EXPECT_EQ(m->textureCount, 1);
  editorHistoryUndo(s.history, &s);
  paint(0, 0x123456);
  ASSERT_TRUE(editorHistoryRecord(s.history, &s));
  EXPECT_EQ(m->textures[0].bitmap, first);
}

TEST_F(History, StepsCostWhatTheyChangeAndTheOldestGoFirst) {
  editorHistoryFree(s.history, &s);
  vxmSelectionFree(s.selection);
  vxmModelFree(s.model);
  s.model = nullptr, s.selection = nullptr, s.history = nullptr;
  ASSERT_TRUE(editorInstallModel(&s, makeStrip(10000)));
  EditorHistoryLimits limits = editorHistoryDefaultLimits();
  limits.steps = 100;
  s.history = editorHistoryCreate(&s, limits);
  ASSERT_NE(s.history, nullptr);
  // A one-facet paint costs a few bytes besides the step's record; a whole-model change grows
  // with the facets.
  paint(5, 0x0000FF);
  editorHistoryRecord(s.history, &s);
  const size_t one = editorHistoryBytes(s.history);
  EXPECT_LT(one, 128u);
  editorColourAll(&s);
  editorHistoryRecord(s.history, &s);
  const size_t all = editorHistoryBytes(s.history) - one;
  EXPECT_GE(all, 10000u * 13);
  EXPECT_LT(all, 10000u * 14 + 128);
  // 150 one-facet steps keep the latest 100; the first facet's paints are no longer undoable.
  for (int i = 0; i < 150; ++i) {
    paint(i % 2, 0x000100u * (uint32_t)i);
    editorHistoryRecord(s.history, &s);
  }
  EXPECT_EQ(editorHistorySteps(s.history), 100);
  while (editorHistoryCanUndo(s.history)) editorHistoryUndo(s.history, &s);
  // Back at the state after the last step that went: paint 49 on facet 1, 48 on facet 0.
  EXPECT_EQ(colour(0), 0x000100u * 48);
  EXPECT_EQ(colour(1), 0x000100u * 49);
  EXPECT_TRUE(s.modelEdited);  // the saved state went with the steps that led away from it
}

TEST_F(History, NewForgetsTheModelsStepsButKeepsTheLights) {
  paint(1, 0x00FF00);
  editorHistoryRecord(s.history, &s);
  vxmLightSetDirectional(0x445566);
  editorHistoryRecord(s.history, &s);
  ASSERT_TRUE(editorInstallModel(&s, makeStrip(3)));
  EXPECT_FALSE(s.modelEdited);
  EXPECT_EQ(editorHistorySteps(s.history), 1);
  EXPECT_EQ(editorHistoryUndo(s.history, &s), (uint32_t)EDITOR_PART_LIGHTS);
  EXPECT_EQ(vxmLightGetDirectional(), 0x202020u);
  EXPECT_FALSE(editorHistoryCanUndo(s.history));
  // Open Lights forgets the lighting steps.
  editorHistoryRedo(s.history, &s);
  editorHistoryRestart(s.history, &s, EDITOR_PART_LIGHTS);
  EXPECT_EQ(editorHistorySteps(s.history), 0);
  paint(2, 0x0000FF);
  EXPECT_TRUE(editorHistoryRecord(s.history, &s));  // the first edit of the new model is a step
}

}  // namespace

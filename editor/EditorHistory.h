// EditorHistory.h: Undo and Redo. The history keeps the last committed state it has seen (the
// facets' colours, textures and coordinates, the texture slots, the highlight, the lights); after
// each edit the editor asks it to record, and what differs becomes one step: a few bytes for one
// painted facet, every changed facet for a whole-model change. Model steps and lighting steps
// share one history; each part's edited flag follows its own steps.
#pragma once

#include <cstddef>
#include <cstdint>

struct EditorState;
struct VxmBitmap;
struct EditorHistory;

enum : uint32_t { EDITOR_PART_MODEL = 1, EDITOR_PART_LIGHTS = 2 };

struct EditorHistoryLimits {
  int32_t steps;            // at most this many steps are kept (at least 100)
  size_t changeBytes;       // the facet changes of all steps together
  size_t pictureBytes;      // pictures the model no longer holds, kept for Undo and Redo
};
// The limits a new history takes: 256 steps, 64 MiB of changes, 64 MiB of pictures.
EditorHistoryLimits editorHistoryDefaultLimits(void);

// A history over the state's model (if any) and the library's lights, with nothing to undo.
// Null when there is no memory; the editor then goes on without Undo.
EditorHistory* editorHistoryCreate(const EditorState* state, EditorHistoryLimits limits);
// Frees the steps and every kept picture that the state's model does not hold.
void editorHistoryFree(EditorHistory* history, const EditorState* state);

// Takes what differs from the last state seen as one step, marks the parts it changed as edited
// and drops any steps that were undone. False when nothing changed (or no memory for the step,
// after which the history starts afresh from the present state).
bool editorHistoryRecord(EditorHistory* history, EditorState* state);
// A picture the model no longer holds (a deleted or refreshed texture) that steps may bring back:
// the history owns it from now on.
void editorHistoryKeepPicture(EditorHistory* history, VxmBitmap* picture);

bool editorHistoryCanUndo(const EditorHistory* history);
bool editorHistoryCanRedo(const EditorHistory* history);
// Puts the state back as it was before the last step (after the next undone one) and sets the
// edited flags: a part back at its saved state is no longer edited. Returns the parts changed.
uint32_t editorHistoryUndo(EditorHistory* history, EditorState* state);
uint32_t editorHistoryRedo(EditorHistory* history, EditorState* state);

// The part was saved (or loaded) as it is now: it is edited again only once it differs.
void editorHistorySaved(EditorHistory* history, uint32_t parts);
// New, Open and Open Lights: the steps of the parts replaced are forgotten and the history takes
// the present state of those parts as its start. `oldModelPictures` are pictures the replaced
// model held (about to be freed by its owner), which the history must not free.
void editorHistoryRestart(EditorHistory* history, EditorState* state, uint32_t parts);

// For the benchmark and tests: steps kept, undone steps ahead, bytes held by the steps (records
// and slot snapshots) and by kept pictures.
int32_t editorHistorySteps(const EditorHistory* history);
int32_t editorHistoryRedoSteps(const EditorHistory* history);
size_t editorHistoryBytes(const EditorHistory* history);
size_t editorHistoryPictureBytes(const EditorHistory* history);

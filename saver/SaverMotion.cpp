// SaverMotion.cpp: the saver's motion, edge, spin, random-choice and band arithmetic.
#include "SaverMotion.h"

#include "app.h"
#include "vxmRender.h"

// The constants are single-precision values; widened to double they are, for example,
// 0.0099999997764825821 and 0.15000000596046448.
static constexpr float SIZE_PERCENT = 0.01f;
static constexpr float BOUNCE_START = 0.15f;
static constexpr float SPIN_UNIT = 0.1f;
static constexpr float MILLISECOND = 0.001f;
static constexpr float WANDER_FACTOR = 0.00004f;
static constexpr float GRAVITY_FACTOR = 0.5f;
static constexpr float START_SPEED = 10.0f;
static constexpr float WANDER_LIMIT = 20.0f;

static inline double wide(float f) { return (double)f; }

int32_t saverChoice(int32_t n) {
  if (n <= 0) return 0;
  return (int32_t)((int64_t)appRandom() * n / 32768);
}

int32_t saverSpriteSide(int32_t modelSize, int32_t width) {
  return (int32_t)((double)modelSize * (double)width * wide(SIZE_PERCENT));
}

// The model's circle is the renderer's fitting rule.
int32_t saverDiscRadius(int32_t half) { return vxmRenderFitRadius(half); }

float saverViewScale(int32_t width, int32_t desktopWidth) {
  if (width == desktopWidth || desktopWidth <= 0) return 1.0f;
  return (float)((double)width / (double)desktopWidth);
}

void saverMotionInit(SaverMotion* motion, int32_t width, int32_t height, int32_t desktopWidth,
                     int32_t modelSize, int32_t moveSpeed) {
  if (!motion) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  *motion = SaverMotion{};
  motion->width = width;
  motion->height = height;
  motion->fullSize = width == desktopWidth;
  motion->viewScale = saverViewScale(width, desktopWidth);
  motion->side = saverSpriteSide(modelSize, width);
  motion->half = motion->side >> 1;
  motion->discRadius = saverDiscRadius(motion->half);
  motion->gravity = (float)((double)motion->half * wide(GRAVITY_FACTOR));
  motion->wanderGain = (float)((double)motion->half * wide(WANDER_FACTOR));
  motion->firstBounce = true;
  motion->moveSpeed = moveSpeed;
}

int32_t saverMotionChooseMode(SaverMotion* motion, int32_t moveState) {
  if (!motion) {
    APP_TRACE("Invalid Parameters");
    return SAVER_MOVE_NONE;
  }
  if (moveState == SAVER_MOVE_RANDOM) {
    motion->randomMode = true;
    motion->mode = 1 + saverChoice(3);
  } else {
    motion->randomMode = false;
    motion->mode = moveState;
  }
  return motion->mode;
}

void saverMotionSetVelocity(SaverMotion* motion) {
  if (!motion) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  float start = (float)(wide(START_SPEED) * wide(motion->viewScale));
  switch (motion->mode) {
    case SAVER_MOVE_REFLECT:
      motion->vx = motion->vy = start;
      break;
    case SAVER_MOVE_BOUNCE:
      motion->vx = start;
      motion->vy = 0.0f;
      break;
    default:
      motion->vx = motion->vy = 0.0f;
      break;
  }
}

void saverMotionStartPosition(SaverMotion* motion) {
  if (!motion) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  int32_t freeX = motion->width - motion->side;
  int32_t freeY = motion->height - motion->side;
  motion->ix = freeX >> 1;
  motion->iy = motion->mode == SAVER_MOVE_BOUNCE ? (int32_t)((double)freeY * wide(BOUNCE_START)) : freeY >> 1;
  motion->posX = (float)motion->ix;
  motion->posY = (float)motion->iy;
  motion->oldX = motion->ix;
  motion->oldY = motion->iy;
}

int32_t saverMotionChangeMode(SaverMotion* motion) {
  if (!motion) {
    APP_TRACE("Invalid Parameters");
    return SAVER_MOVE_NONE;
  }
  int32_t mode = 1 + saverChoice(3);
  for (int tries = 1; tries < 10 && mode == motion->mode; ++tries) mode = 1 + saverChoice(3);
  motion->mode = mode;
  saverMotionSetVelocity(motion);
  motion->firstBounce = true;
  return mode;
}

float saverFrameSeconds(uint32_t now, uint32_t* lastTick) {
  if (!lastTick) {
    APP_TRACE("Invalid Parameters");
    return 0.0f;
  }
  if (*lastTick == 0) *lastTick = now;
  uint32_t elapsed = now - *lastTick;  // wraps correctly across the 49-day rollover
  *lastTick = now;
  return (float)((double)elapsed * wide(MILLISECOND));
}

static float wanderAccelerate(float v, float k) {
  double r = (double)(appRandom() - 16383);
  float next = (float)(wide(v) + r * wide(k));
  if (next < -WANDER_LIMIT) return -WANDER_LIMIT;
  if (next > WANDER_LIMIT) return WANDER_LIMIT;
  return next;
}

static void motionStep(SaverMotion* m, float dt, float kickDt);

void saverMotionStep(SaverMotion* motion, float dt) {
  if (!motion) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  motionStep(motion, dt, dt);
}

// One step of dt seconds; Wander's random kick is scaled by kickDt.
static void motionStep(SaverMotion* m, float dt, float kickDt) {
  m->oldX = m->ix;
  m->oldY = m->iy;

  if (m->mode == SAVER_MOVE_BOUNCE) {
    m->vy = (float)(wide(m->vy) + wide(dt) * wide(m->gravity));
  } else if (m->mode == SAVER_MOVE_WANDER) {
    float k = (float)(wide(kickDt) * wide(m->wanderGain));
    m->vx = wanderAccelerate(m->vx, k);
    m->vy = wanderAccelerate(m->vy, k);
  }

  float f = (float)((double)(81 - m->moveSpeed) * wide(dt));
  m->posX = (float)(wide(m->posX) + wide(f) * wide(m->vx));
  m->posY = (float)(wide(m->posY) + wide(f) * wide(m->vy));
  m->ix = (int32_t)m->posX;
  m->iy = (int32_t)m->posY;

  // The model's disc, centred at (ix + R, iy + R) with radius r, stays inside the window. Each
  // test sees what the previous one left.
  const int32_t R = m->half;
  const int32_t r = m->discRadius;
  const bool wander = m->mode == SAVER_MOVE_WANDER;
  if (m->iy + R - r < 0) {
    m->vy = -m->vy;
    m->iy = r - R;
    m->posY = (float)m->iy;
    if (wander) m->vy = 0.0f;
  }
  if (m->iy + R + r > m->height - 1) {
    // Every later floor contact returns with the speed of the first, so a bounce never decays.
    if (m->firstBounce) {
      m->bounceVelocity = -m->vy;
      m->firstBounce = false;
    }
    m->vy = m->bounceVelocity;
    m->iy = m->height - r - R - 1;
    m->posY = (float)m->iy;
    if (wander) m->vy = 0.0f;
  }
  if (m->ix + R - r < 0) {
    m->vx = -m->vx;
    m->ix = r - R;
    m->posX = (float)m->ix;
    if (wander) m->vx = 0.0f;
  }
  if (m->ix + R + r > m->width - 1) {
    m->vx = -m->vx;
    m->ix = m->width - r - R - 1;
    m->posX = (float)m->ix;
    if (wander) m->vx = 0.0f;
  }
}

// --- Every monitor ---------------------------------------------------------------------------------

int32_t saverMonitorAreas(const AppRect* monitors, int32_t count, int32_t primary, int32_t windowLeft,
                          int32_t windowTop, int32_t width, int32_t height, SaverArea* areas) {
  if (!areas) {
    APP_TRACE("Invalid Parameters");
    return 0;
  }
  int32_t made = 0;
  for (int32_t k = -1; monitors && k < count && made < SAVER_MAX_MONITORS; ++k) {
    const int32_t i = k < 0 ? primary : k;  // the primary first, then the others in order
    if (i < 0 || i >= count || (k >= 0 && i == primary)) continue;
    const AppRect& m = monitors[i];  // right and bottom exclusive, as Windows gives them
    const int32_t left = m.left - windowLeft < 0 ? 0 : m.left - windowLeft;
    const int32_t top = m.top - windowTop < 0 ? 0 : m.top - windowTop;
    const int32_t right = m.right - windowLeft > width ? width : m.right - windowLeft;
    const int32_t bottom = m.bottom - windowTop > height ? height : m.bottom - windowTop;
    if (right <= left || bottom <= top) continue;
    areas[made++] = {left, top, right - left, bottom - top};
  }
  if (made == 0) areas[made++] = {0, 0, width, height};
  return made;
}

// --- Motion by the clock -----------------------------------------------------------------------------

// A random walk's spread grows with the square root of its steps: a kick of sqrt(s / 60) seconds
// in each step of s seconds spreads as a kick of 1/60 s in each 60th of a second does.
static constexpr float WANDER_STEP_KICK = 0.0040824829f;  // sqrt(0.001 / 60)

uint64_t saverClockMilliseconds(uint64_t counter, uint64_t frequency) {
  if (frequency == 0) return 0;
  return counter / frequency * 1000u + counter % frequency * 1000u / frequency;
}

uint32_t saverStepsDue(uint64_t nowMs, uint64_t* lastMs, bool* started) {
  if (!lastMs || !started) {
    APP_TRACE("Invalid Parameters");
    return 0;
  }
  if (!*started || nowMs < *lastMs) {
    *started = true;
    *lastMs = nowMs;
    return 0;
  }
  uint64_t due = (nowMs - *lastMs) / SAVER_STEP_MS;
  if (due > SAVER_MAX_CATCH_UP) {
    *lastMs = nowMs;
    return SAVER_MAX_CATCH_UP;
  }
  *lastMs += due * SAVER_STEP_MS;
  return (uint32_t)due;
}

void saverMotionAdvance(SaverMotion* motion, SaverSpin* spin, uint32_t steps) {
  if (!motion || !spin) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  const int32_t oldX = motion->ix, oldY = motion->iy;
  const float dt = (float)((double)SAVER_STEP_MS * wide(MILLISECOND));
  for (uint32_t i = 0; i < steps; ++i) {
    motionStep(motion, dt, WANDER_STEP_KICK);
    saverSpinStep(spin, dt);
  }
  motion->oldX = oldX;
  motion->oldY = oldY;
}

uint32_t saverFramePeriodMicros(uint32_t refreshHz) {
  if (refreshHz <= 1) refreshHz = 60;
  return (1000000u + refreshHz / 2) / refreshHz;
}

void saverSpinRoll(SaverSettings* settings) {
  if (!settings) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  settings->spinX = saverChoice(2);
  settings->spinY = saverChoice(2);
  settings->spinZ = saverChoice(2);
  if (!settings->spinX && !settings->spinY && !settings->spinZ) settings->spinY = 1;
  settings->spinXSpeed = 5 + saverChoice(20);
  settings->spinYSpeed = 5 + saverChoice(20);
  settings->spinZSpeed = 5 + saverChoice(20);
  if (saverChoice(2) == 1) settings->spinXSpeed = -settings->spinXSpeed;
  if (saverChoice(2) == 1) settings->spinYSpeed = -settings->spinYSpeed;
  if (saverChoice(2) == 1) settings->spinZSpeed = -settings->spinZSpeed;
}

static float spinRate(int32_t on, int32_t speed) {
  return on ? (float)((double)speed * wide(SPIN_UNIT)) : 0.0f;
}

void saverSpinSetRates(SaverSpin* spin, const SaverSettings* settings) {
  if (!spin || !settings) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  spin->rate[0] = spinRate(settings->spinX, settings->spinXSpeed);
  spin->rate[1] = spinRate(settings->spinY, settings->spinYSpeed);
  spin->rate[2] = spinRate(settings->spinZ, settings->spinZSpeed);
}

void saverSpinStep(SaverSpin* spin, float dt) {
  if (!spin) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  for (int i = 0; i < 3; ++i) spin->angle[i] = (float)(wide(spin->angle[i]) + wide(dt) * wide(spin->rate[i]));
}

bool saverClipRect(const SaverMotion* motion, SaverRect* rect) {
  if (!motion || !rect) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (rect->left < 0) rect->left = 0;
  if (rect->top < 0) rect->top = 0;
  if (rect->right > motion->width - 1) rect->right = motion->width - 1;
  if (rect->bottom > motion->height - 1) rect->bottom = motion->height - 1;
  return rect->left <= rect->right && rect->top <= rect->bottom;
}

bool saverSpriteBlit(const SaverMotion* motion, SaverBlit* blit) {
  if (!motion || !blit) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  const int32_t S = motion->side;
  SaverRect rect = {motion->ix, motion->iy, motion->ix + S - 1, motion->iy + S - 1};
  if (S <= 0 || !saverClipRect(motion, &rect)) return false;
  blit->x = rect.left;
  blit->y = rect.top;
  blit->width = rect.right - rect.left + 1;
  blit->height = rect.bottom - rect.top + 1;
  blit->srcX = rect.left - motion->ix;
  blit->srcY = (motion->iy + S - 1) - rect.bottom;
  return true;
}

static int32_t absolute(int32_t v) { return v < 0 ? -v : v; }
static int32_t smaller(int32_t a, int32_t b) { return a < b ? a : b; }

int32_t saverRestoreBands(const SaverMotion* motion, SaverRect bands[2]) {
  if (!motion || !bands) {
    APP_TRACE("Invalid Parameters");
    return 0;
  }
  const int32_t S = motion->side;
  const int32_t dx = motion->ix - motion->oldX;
  const int32_t dy = motion->iy - motion->oldY;
  const int32_t adx = absolute(dx);
  const int32_t ady = absolute(dy);
  int32_t count = 0;

  // The column band: the strip of the old square that the sprite left sideways (all of the old
  // square when it moved by a whole side or more).
  int32_t columnWidth = smaller(adx, S);
  if (columnWidth > 0) {
    int32_t left = (dx >= 0 || adx >= S) ? motion->oldX : motion->ix + S;
    SaverRect band = {left, motion->oldY, left + columnWidth - 1, motion->oldY + S - 1};
    if (saverClipRect(motion, &band)) bands[count++] = band;
  }

  // The row band over the columns both squares share.
  int32_t sharedWidth = S - adx;
  int32_t rowHeight = smaller(ady, S);
  if (sharedWidth > 0 && rowHeight > 0) {
    int32_t left = dx >= 0 ? motion->ix : motion->oldX;
    int32_t top = (dy >= 0 || ady >= S) ? motion->oldY : motion->iy + S;
    SaverRect band = {left, top, left + sharedWidth - 1, top + rowHeight - 1};
    if (saverClipRect(motion, &band)) bands[count++] = band;
  }
  return count;
}

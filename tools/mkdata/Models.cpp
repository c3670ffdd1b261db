// Models.cpp: the installation's models (Models\): turned solids made with the library's lathe
// (the drinks can with its wrapped label, a goblet, a vase, a torus, a chess pawn) and faceted
// solids built facet by facet (a cut gem, a star, an icosahedron), saved as VXM files.
#include <cstdio>
#include <cstring>

#include "app.h"
#include "mkdata.h"
#include "vxmMath.h"
#include "vxmModel.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// One point of a lathe profile. The profile runs from the bottom of the solid round its outline
// to the top, with the solid's material on its left (seen with x to the right and y up), so that
// the lathe's facets face outwards. The band from this point to the next takes `colour` and,
// when `textured`, the model's texture. A crease point is doubled: the empty band between the
// two copies keeps the averaged vertex normals of the faces on either side apart, so the edge
// stays sharp under smooth shading.
struct ProfilePoint {
  float x, y;
  uint32_t colour;
  bool crease = false;
  bool textured = false;
};

struct LatheModel {
  const char* file;
  const ProfilePoint* points;
  int count;
  int segments;
  const char* texture;  // path below the installation folder, or null
  int wraps;            // times the texture goes round the solid
  bool highlight;
  float tilt;           // radians about the x axis after turning, so that spins about y show more
};

constexpr int kMaxProfile = 64;

uint32_t rgb(int r, int g, int b) { return (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b; }

// Fixed-point texel coordinate of a position t (0 to 1) across a size of n texels, kept inside
// the bitmap: t = 1 would be one texel past the edge.
int32_t texel(double t, int32_t n) {
  int32_t v = vxmMathRound(t * n * 4096.0);
  if (v > n * 4096 - 1) v = n * 4096 - 1;
  return v < 0 ? 0 : v;
}

// Colours and texture coordinates of a lathe model. Facets come in the lathe's order: for ring r
// (0 to segments-1, the last band closing onto ring 0) and profile band k, facets 2 (r (P-1) + k)
// and the next, with corners (r,k) (r+1,k) (r,k+1) and (r,k+1) (r+1,k) (r+1,k+1).
void latheDecorate(VxmModel* model, const ProfilePoint* bands, const VxmVector* profile, int p, int s, int wraps,
                   VxmBitmap* texture) {
  // v runs along the profile's length through each run of textured bands, from the picture's
  // bottom row to its top.
  double along[kMaxProfile];
  along[0] = 0;
  for (int k = 1; k < p; ++k) {
    const double dx = profile[k].x - profile[k - 1].x, dy = profile[k].y - profile[k - 1].y;
    along[k] = along[k - 1] + vxmMathSqrt(dx * dx + dy * dy);
  }
  for (int k = 0; k + 1 < p; ++k) {
    int first = k, last = k + 1;
    while (first > 0 && bands[first - 1].textured) --first;
    while (last < p - 1 && bands[last].textured) ++last;
    const double length = along[last] - along[first];
    for (int r = 0; r < s; ++r)
      for (int t = 0; t < 2; ++t) {
        VxmTri* tri = &model->tris[2 * (r * (p - 1) + k) + t];
        tri->colour = bands[k].colour;
        if (!texture || !bands[k].textured || length <= 0) continue;
        // u falls as the ring number grows: the lathe turns rings from the right to the left of
        // the side facing the viewer, and the picture must read from left to right.
        const double near = (double)((r * wraps) % s) / s, far = near + (double)wraps / s;
        const int corner[3][2] = {{0, t}, {1, 0}, {t, 1}};  // (far ring?, profile step) per corner
        for (int c = 0; c < 3; ++c) {
          const int ring = corner[c][0], point = k + corner[c][1];
          tri->uv[2 * c] = texel(1.0 - (ring ? far : near), texture->width);
          tri->uv[2 * c + 1] = texel((along[point] - along[first]) / length, texture->height);
        }
        tri->texture = texture;
      }
  }
}

bool buildLathe(const char* root, const LatheModel& lathe) {
  VxmVector profile[kMaxProfile];
  ProfilePoint bands[kMaxProfile];
  int p = 0;
  for (int i = 0; i < lathe.count; ++i)
    for (int copy = 0; copy < (lathe.points[i].crease ? 2 : 1) && p < kMaxProfile; ++copy) {
      profile[p] = {lathe.points[i].x, lathe.points[i].y, 0.0f};
      bands[p] = lathe.points[i];
      if (copy == 0 && lathe.points[i].crease) bands[p].textured = false;  // the empty band
      ++p;
    }
  VxmModel* model = vxmModelCreateLathe(profile, p, nullptr, lathe.segments);
  if (!model) return false;
  VxmBitmap* texture = nullptr;
  if (lathe.texture) {
    if (!vxmModelAddTexture(model, lathe.texture)) {
      vxmModelFree(model);
      return false;
    }
    texture = model->textures[0].bitmap;
  }
  latheDecorate(model, bands, profile, p, lathe.segments, lathe.wraps, texture);
  model->highlight = lathe.highlight;
  if (lathe.tilt != 0.0f) {
    VxmMatrix tilt;
    vxmMatRotateX(&tilt, lathe.tilt);
    vxmVtxTransform(model->vertices, &tilt, model->vertices, model->vertexCount);
    vxmModelCalcSurfaceNormals(model);
  }
  char path[APP_PATH_LENGTH];
  const bool ok = vxmModelCalcAverageNormals(model) && mkJoin(root, lathe.file, path) && vxmModelSaveVXM(model, path);
  vxmModelFree(model);
  return ok;
}

// --- The turned models -----------------------------------------------------------------------------

// A 330 ml drinks can, 66 units across and 116 high: domed base, the label round its side,
// tapered neck, rolled rim and a sunken lid.
const ProfilePoint kCan[] = {
    {0.0f, 5.5f, rgb(168, 168, 178)},   {14.0f, 3.6f, rgb(172, 172, 182)},  {24.0f, 0.6f, rgb(190, 190, 200)},
    {27.0f, 0.0f, rgb(200, 200, 210)},  {30.5f, 1.2f, rgb(205, 205, 215)},  {32.6f, 4.2f, rgb(205, 205, 215)},
    {33.0f, 7.0f, rgb(200, 20, 35), false, true},
    {33.0f, 101.0f, rgb(212, 212, 222)}, {31.5f, 107.0f, rgb(206, 206, 216)}, {28.2f, 112.5f, rgb(214, 214, 224)},
    {27.6f, 114.0f, rgb(224, 224, 234)}, {28.4f, 115.6f, rgb(226, 226, 236)}, {27.0f, 116.0f, rgb(204, 204, 214)},
    {26.0f, 114.8f, rgb(192, 192, 202)}, {25.6f, 111.5f, rgb(184, 184, 194), true}, {0.0f, 111.5f, 0},
};

// A gold goblet with wine in its bowl: foot, knopped stem, bowl with a thin rim.
const uint32_t kGold = rgb(214, 170, 48), kGoldDark = rgb(176, 132, 28), kWine = rgb(118, 8, 36);
const ProfilePoint kGoblet[] = {
    {0.0f, 0.0f, kGoldDark},   {16.0f, 0.0f, kGold, true}, {16.5f, 0.8f, kGold},  {15.0f, 1.8f, kGold},
    {9.0f, 2.8f, kGold},       {4.0f, 4.2f, kGold},        {2.2f, 6.0f, kGold},   {2.0f, 12.0f, kGold},
    {3.2f, 14.0f, kGold},      {3.2f, 15.0f, kGold},       {2.0f, 17.0f, kGold},  {2.2f, 22.0f, kGold},
    {5.0f, 24.0f, kGold},      {9.0f, 26.5f, kGold},       {12.0f, 30.0f, kGold}, {13.5f, 34.0f, kGold},
    {14.0f, 38.0f, kGold},     {13.8f, 42.0f, kGold},      {13.2f, 42.4f, kGold, true}, {12.9f, 42.0f, kWine},
    {13.2f, 38.0f, kWine},     {12.6f, 34.0f, kWine},      {11.0f, 30.5f, kWine}, {8.0f, 27.8f, kWine},
    {4.0f, 26.4f, kWine},      {0.0f, 26.0f, 0},
};

// A cobalt vase with a mosaic band round its belly, a white neck and a gold lip.
const uint32_t kCobalt = rgb(28, 58, 156), kNeck = rgb(232, 232, 240), kLip = rgb(214, 170, 48), kInside = rgb(14, 22, 52);
const ProfilePoint kVase[] = {
    {0.0f, 0.0f, kCobalt},     {10.0f, 0.0f, kCobalt, true}, {11.0f, 0.5f, kCobalt}, {12.5f, 3.0f, kCobalt},
    {15.5f, 8.0f, kCobalt, false, true}, {17.5f, 14.0f, kCobalt, false, true}, {18.0f, 20.0f, kCobalt, false, true},
    {17.0f, 26.0f, kCobalt, false, true}, {14.0f, 31.0f, kCobalt},      {10.5f, 35.0f, kCobalt}, {8.0f, 39.0f, kNeck},
    {7.2f, 43.0f, kNeck},      {7.5f, 47.0f, kNeck},         {9.0f, 50.0f, kLip},     {10.5f, 51.5f, kLip},
    {10.3f, 52.2f, kLip},      {9.3f, 51.6f, kInside},       {7.6f, 49.5f, kInside},  {6.3f, 46.0f, kInside},
    {0.0f, 42.0f, 0},
};

// A chess pawn in ivory: base with a ring, tapering body, collar, round head.
const uint32_t kIvory = rgb(236, 226, 198), kIvoryDark = rgb(214, 200, 164), kFelt = rgb(36, 96, 48);
ProfilePoint kPawn[40];
int pawnProfile() {
  const ProfilePoint body[] = {
      {0.0f, 0.0f, kFelt},       {11.0f, 0.0f, kIvory, true}, {11.0f, 1.5f, kIvory}, {10.0f, 2.5f, kIvoryDark},
      {10.0f, 3.5f, kIvory},     {9.0f, 4.2f, kIvory},        {7.5f, 5.0f, kIvory},  {6.5f, 7.0f, kIvory},
      {5.2f, 11.0f, kIvory},     {4.3f, 15.0f, kIvory},       {3.8f, 18.0f, kIvoryDark}, {6.5f, 19.0f, kIvory},
      {7.0f, 19.8f, kIvory},     {6.5f, 20.6f, kIvoryDark},   {3.8f, 21.2f, kIvory},
  };
  int n = 0;
  for (const ProfilePoint& point : body) kPawn[n++] = point;
  // The head: a sphere of radius 5.5 about (0, 27), from where it meets the neck to the top.
  const double start = 0.69;  // radians from the bottom of the sphere, where x is 3.5
  for (int i = 0; i <= 12; ++i) {
    const double a = start + (kPi - start) * i / 12;
    kPawn[n++] = {(float)(i == 12 ? 0.0 : 5.5 * vxmMathSin(a)), (float)(27.0 - 5.5 * vxmMathCos(a)), kIvory};
  }
  return n;
}

// A marble ring: a circle of radius 4 about the point 10 from the axis, from its inner equator
// round through the bottom, the outside and the top back to the start.
ProfilePoint kTorus[33];
int torusProfile() {
  const int steps = 24;
  for (int i = 0; i <= steps; ++i) {
    const double a = kPi + 2 * kPi * i / steps;
    kTorus[i] = {(float)(10.0 + 4.0 * vxmMathCos(a)), (float)(4.0 * vxmMathSin(a)), rgb(220, 220, 214), false, true};
  }
  // The last point closes the circle exactly.
  kTorus[steps].x = kTorus[0].x;
  kTorus[steps].y = kTorus[0].y;
  return steps + 1;
}

// --- Faceted models ------------------------------------------------------------------------------------

struct Facets {
  VxmVector vertices[64];
  int vertexCount = 0;
  int tris[128][3];
  uint32_t colours[128];
  int triCount = 0;

  int vertex(double x, double y, double z) {
    vertices[vertexCount] = {(float)x, (float)y, (float)z};
    return vertexCount++;
  }
  // Adds a facet whose corners run clockwise as seen from outside: the solids here all contain
  // the origin in their kernel, so a facet whose normal points back at the origin is turned.
  void facet(int a, int b, int c, uint32_t colour) {
    const VxmVector &p0 = vertices[a], &p1 = vertices[b], &p2 = vertices[c];
    VxmVector normal;
    vxmVtxTriNormal(&normal, &p0, &p1, &p2);
    const double outward = normal.x * ((double)p0.x + p1.x + p2.x) + normal.y * ((double)p0.y + p1.y + p2.y) +
                           normal.z * ((double)p0.z + p1.z + p2.z);
    tris[triCount][0] = a;
    tris[triCount][1] = outward < 0 ? c : b;
    tris[triCount][2] = outward < 0 ? b : c;
    colours[triCount++] = colour;
  }
};

// A round brilliant in ruby red: table, crown, girdle and pavilion, 80 facets.
void makeGem(Facets* f) {
  const int top = f->vertex(0, 0.42, 0);
  int table[8], girdleTop[16], girdleBottom[16];
  for (int i = 0; i < 8; ++i)
    table[i] = f->vertex(0.5 * vxmMathCos(kPi * i / 4), 0.42, 0.5 * vxmMathSin(kPi * i / 4));
  for (int j = 0; j < 16; ++j) {
    const double c = vxmMathCos(kPi * j / 8), s = vxmMathSin(kPi * j / 8);
    girdleTop[j] = f->vertex(c, 0.03, s);
    girdleBottom[j] = f->vertex(c, -0.03, s);
  }
  const int culet = f->vertex(0, -0.9, 0);
  for (int i = 0; i < 8; ++i) {
    const int next = (i + 1) % 8;
    f->facet(top, table[i], table[next], rgb(232, 64, 96));
    f->facet(table[i], girdleTop[2 * i], girdleTop[2 * i + 1], rgb(200, 22, 58));
    f->facet(table[i], girdleTop[2 * i + 1], table[next], rgb(168, 10, 42));
    f->facet(table[next], girdleTop[2 * i + 1], girdleTop[(2 * i + 2) % 16], rgb(200, 22, 58));
  }
  for (int j = 0; j < 16; ++j) {
    const int next = (j + 1) % 16;
    f->facet(girdleTop[j], girdleBottom[j], girdleBottom[next], rgb(120, 4, 30));
    f->facet(girdleTop[j], girdleBottom[next], girdleTop[next], rgb(120, 4, 30));
    f->facet(girdleBottom[j], culet, girdleBottom[next], j % 2 ? rgb(150, 6, 36) : rgb(212, 34, 72));
  }
}

// A five-pointed gold star: a thin prism with a low pyramid on each face, 40 facets.
void makeStar(Facets* f) {
  int front[10], back[10];
  for (int i = 0; i < 10; ++i) {
    const double a = kPi / 2 + kPi * i / 5, r = i % 2 ? 0.42 : 1.0;
    front[i] = f->vertex(r * vxmMathCos(a), r * vxmMathSin(a), -0.16);
    back[i] = f->vertex(r * vxmMathCos(a), r * vxmMathSin(a), 0.16);
  }
  const int apexFront = f->vertex(0, 0, -0.42), apexBack = f->vertex(0, 0, 0.42);
  for (int i = 0; i < 10; ++i) {
    const int next = (i + 1) % 10;
    const uint32_t face = i % 2 ? rgb(232, 160, 20) : rgb(255, 206, 48);
    f->facet(apexFront, front[i], front[next], face);
    f->facet(apexBack, back[next], back[i], face);
    f->facet(front[i], back[i], back[next], rgb(200, 120, 12));
    f->facet(front[i], back[next], front[next], rgb(200, 120, 12));
  }
}

// An icosahedron, each face its own colour round the colour wheel.
void makeIcosahedron(Facets* f) {
  const double phi = (1 + vxmMathSqrt(5.0)) / 2;
  for (int i = 0; i < 4; ++i) {
    const double sign1 = i & 1 ? 1 : -1, sign2 = i & 2 ? 1 : -1;
    f->vertex(0, sign1, sign2 * phi);
    f->vertex(sign1, sign2 * phi, 0);
    f->vertex(sign2 * phi, 0, sign1);
  }
  auto distance2 = [f](int a, int b) {
    const double dx = f->vertices[a].x - f->vertices[b].x, dy = f->vertices[a].y - f->vertices[b].y,
                 dz = f->vertices[a].z - f->vertices[b].z;
    return dx * dx + dy * dy + dz * dz;
  };
  auto edge = [&](int a, int b) { return distance2(a, b) < 4.01; };  // edges have length 2
  int face = 0;
  for (int a = 0; a < 12; ++a)
    for (int b = a + 1; b < 12; ++b)
      for (int c = b + 1; c < 12; ++c)
        if (edge(a, b) && edge(b, c) && edge(a, c)) {
          // Hue round the wheel in six sectors, full saturation, softened towards white.
          const int h = face * 360 / 20, sector = h / 60, rise = (h % 60) * 255 / 60;
          const int channel[6][3] = {{255, rise, 0}, {255 - rise, 255, 0}, {0, 255, rise},
                                     {0, 255 - rise, 255}, {rise, 0, 255}, {255, 0, 255 - rise}};
          const int* c3 = channel[sector];
          f->facet(a, b, c, rgb(40 + c3[0] * 3 / 4, 40 + c3[1] * 3 / 4, 40 + c3[2] * 3 / 4));
          ++face;
        }
}

bool buildFaceted(const char* root, const char* file, void (*make)(Facets*), bool highlight) {
  static Facets facets;
  facets = Facets{};
  make(&facets);
  VxmModel* model = vxmModelCreate(facets.vertexCount, 0, facets.triCount);
  if (!model) return false;
  std::memcpy(model->vertices, facets.vertices, sizeof(VxmVector) * facets.vertexCount);
  for (int i = 0; i < facets.triCount; ++i) {
    for (int k = 0; k < 3; ++k) model->tris[i].v[k] = facets.tris[i][k];
    model->tris[i].colour = facets.colours[i];
  }
  model->highlight = highlight;
  char path[APP_PATH_LENGTH];
  const bool ok = vxmModelCalcSurfaceNormals(model) && mkJoin(root, file, path) && vxmModelSaveVXM(model, path);
  vxmModelFree(model);
  return ok;
}

}  // namespace

bool mkModels(const char* root) {
  const int pawnCount = pawnProfile(), torusCount = torusProfile();
  const LatheModel lathes[] = {
      {"Models/can.vxm", kCan, (int)(sizeof kCan / sizeof kCan[0]), 32, "Textures\\canlabel.bmp", 1, false, 0.0f},
      {"Models/goblet.vxm", kGoblet, (int)(sizeof kGoblet / sizeof kGoblet[0]), 32, nullptr, 1, true, 0.0f},
      {"Models/vase.vxm", kVase, (int)(sizeof kVase / sizeof kVase[0]), 32, "Textures\\mosaic.bmp", 4, false, 0.0f},
      {"Models/pawn.vxm", kPawn, pawnCount, 32, nullptr, 1, false, 0.0f},
      // The ring stands up towards the viewer: lying flat, a spin about y alone shows only its edge.
      {"Models/torus.vxm", kTorus, torusCount, 32, "Textures\\marble.bmp", 2, false, -1.2f},
  };
  for (const LatheModel& lathe : lathes)
    if (!buildLathe(root, lathe)) {
      std::fprintf(stderr, "mkdata: could not make %s\n", lathe.file);
      return false;
    }
  struct {
    const char* file;
    void (*make)(Facets*);
    bool highlight;
  } faceted[] = {
      {"Models/gem.vxm", makeGem, true},
      {"Models/star.vxm", makeStar, false},
      {"Models/icosa.vxm", makeIcosahedron, false},
  };
  for (const auto& solid : faceted)
    if (!buildFaceted(root, solid.file, solid.make, solid.highlight)) {
      std::fprintf(stderr, "mkdata: could not make %s\n", solid.file);
      return false;
    }
  return true;
}

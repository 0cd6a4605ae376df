/* Draws the main window's small images (certificate state icons, the key
 * and the refresh glyph) as PNG files at twice their 96-dpi size, so they
 * stay sharp up to 200 %. Shapes are signed-distance functions sampled 8 x 8
 * per pixel; the PNG is written with stored deflate blocks (no zlib needed).
 * Built and run on the build machine:  make-skin-images OUTPUT_FOLDER */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct { float r, g, b, a; } Rgba;
typedef struct { int size; Rgba* px; } Canvas;
typedef float (*Shape)(float x, float y, const float* p);

static Rgba Hex(uint32_t argb)
{
    Rgba c = {((argb >> 16) & 255) / 255.f, ((argb >> 8) & 255) / 255.f, (argb & 255) / 255.f,
              ((argb >> 24) & 255) / 255.f};
    return c;
}

/* Distance to a rounded box p = {x0, y0, x1, y1, radius}; < 0 inside. */
static float RoundBox(float x, float y, const float* p)
{
    float cx = (p[0] + p[2]) / 2, cy = (p[1] + p[3]) / 2;
    float hx = (p[2] - p[0]) / 2 - p[4], hy = (p[3] - p[1]) / 2 - p[4];
    float dx = fabsf(x - cx) - hx, dy = fabsf(y - cy) - hy;
    float ox = dx > 0 ? dx : 0, oy = dy > 0 ? dy : 0;
    float in = dx > dy ? dx : dy;
    return sqrtf(ox * ox + oy * oy) + (in < 0 ? in : 0) - p[4];
}
/* Circle p = {cx, cy, r}. */
static float Circle(float x, float y, const float* p)
{
    return hypotf(x - p[0], y - p[1]) - p[2];
}
/* Ring p = {cx, cy, r, half width, gap start angle, gap end angle} (radians, gap drawn empty). */
static float Arc(float x, float y, const float* p)
{
    float a = atan2f(y - p[1], x - p[0]);
    float d = fabsf(hypotf(x - p[0], y - p[1]) - p[2]) - p[3];
    if (a > p[4] && a < p[5]) return 1e9f;
    return d;
}
/* Capsule p = {x0, y0, x1, y1, half width}. */
static float Segment(float x, float y, const float* p)
{
    float vx = p[2] - p[0], vy = p[3] - p[1], wx = x - p[0], wy = y - p[1];
    float t = (wx * vx + wy * vy) / (vx * vx + vy * vy);
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return hypotf(wx - t * vx, wy - t * vy) - p[4];
}

/* Paints a shape given in a 20-unit design grid, scaled to the canvas. */
static void Fill(Canvas* c, Shape shape, const float* params, uint32_t argb, float grid)
{
    Rgba col = Hex(argb);
    const int n = 8;
    float scale = c->size / grid;
    for (int y = 0; y < c->size; ++y) {
        for (int x = 0; x < c->size; ++x) {
            int hits = 0;
            for (int sy = 0; sy < n; ++sy)
                for (int sx = 0; sx < n; ++sx) {
                    float gx = (x + (sx + 0.5f) / n) / scale, gy = (y + (sy + 0.5f) / n) / scale;
                    if (shape(gx, gy, params) <= 0) ++hits;
                }
            if (!hits) continue;
            float a = col.a * hits / (float)(n * n);
            Rgba* d = &c->px[y * c->size + x];
            float outA = a + d->a * (1 - a);
            if (outA <= 0) continue;
            d->r = (col.r * a + d->r * d->a * (1 - a)) / outA;
            d->g = (col.g * a + d->g * d->a * (1 - a)) / outA;
            d->b = (col.b * a + d->b * d->a * (1 - a)) / outA;
            d->a = outA;
        }
    }
}

static uint32_t crcTable[256];
static void MakeCrcTable(void)
{
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crcTable[n] = c;
    }
}
static uint32_t Crc(const uint8_t* b, size_t n, uint32_t c)
{
    for (size_t i = 0; i < n; ++i) c = crcTable[(c ^ b[i]) & 255] ^ (c >> 8);
    return c;
}
static void Be32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)(v >> 24); p[1] = (uint8_t)(v >> 16); p[2] = (uint8_t)(v >> 8); p[3] = (uint8_t)v;
}
static void Chunk(FILE* f, const char* type, const uint8_t* data, uint32_t n)
{
    uint8_t head[8];
    Be32(head, n);
    memcpy(head + 4, type, 4);
    fwrite(head, 1, 8, f);
    if (n) fwrite(data, 1, n, f);
    uint32_t c = Crc((const uint8_t*)type, 4, 0xFFFFFFFFu);
    c = Crc(data, n, c) ^ 0xFFFFFFFFu;
    uint8_t tail[4];
    Be32(tail, c);
    fwrite(tail, 1, 4, f);
}

static int WritePng(const Canvas* c, const char* folder, const char* name)
{
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", folder, name);
    FILE* f = fopen(path, "wb");
    if (!f) { fprintf(stderr, "make-skin-images: cannot write %s\n", path); return 0; }
    const int w = c->size, rowBytes = 1 + w * 4;
    size_t rawSize = (size_t)rowBytes * w;
    uint8_t* raw = malloc(rawSize);
    for (int y = 0; y < w; ++y) {
        uint8_t* row = raw + (size_t)y * rowBytes;
        row[0] = 0;
        for (int x = 0; x < w; ++x) {
            const Rgba* p = &c->px[y * w + x];
            row[1 + x * 4 + 0] = (uint8_t)lroundf(p->r * 255);
            row[1 + x * 4 + 1] = (uint8_t)lroundf(p->g * 255);
            row[1 + x * 4 + 2] = (uint8_t)lroundf(p->b * 255);
            row[1 + x * 4 + 3] = (uint8_t)lroundf(p->a * 255);
        }
    }
    size_t blocks = (rawSize + 65534) / 65535;
    size_t zSize = 2 + rawSize + blocks * 5 + 4;
    uint8_t* z = malloc(zSize);
    size_t o = 0;
    z[o++] = 0x78; z[o++] = 0x01;
    uint32_t s1 = 1, s2 = 0;
    for (size_t i = 0; i < rawSize; ++i) { s1 = (s1 + raw[i]) % 65521; s2 = (s2 + s1) % 65521; }
    for (size_t at = 0; at < rawSize; at += 65535) {
        uint16_t len = (uint16_t)(rawSize - at > 65535 ? 65535 : rawSize - at);
        z[o++] = at + len >= rawSize ? 1 : 0;
        z[o++] = (uint8_t)len; z[o++] = (uint8_t)(len >> 8);
        z[o++] = (uint8_t)~len; z[o++] = (uint8_t)((uint16_t)~len >> 8);
        memcpy(z + o, raw + at, len);
        o += len;
    }
    Be32(z + o, (s2 << 16) | s1);
    o += 4;
    static const uint8_t sig[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    fwrite(sig, 1, 8, f);
    uint8_t ihdr[13];
    Be32(ihdr, (uint32_t)w); Be32(ihdr + 4, (uint32_t)w);
    ihdr[8] = 8; ihdr[9] = 6; ihdr[10] = 0; ihdr[11] = 0; ihdr[12] = 0;
    Chunk(f, "IHDR", ihdr, 13);
    Chunk(f, "IDAT", z, (uint32_t)o);
    Chunk(f, "IEND", NULL, 0);
    free(raw);
    free(z);
    return fclose(f) == 0;
}

static Canvas NewCanvas(int size)
{
    Canvas c = {size, calloc((size_t)size * size, sizeof(Rgba))};
    return c;
}

/* The certificate: a card with text lines and a state badge at its corner. */
enum Badge { kSeal, kClock, kCross };
static Canvas CertIcon(uint32_t colour, enum Badge badge)
{
    Canvas c = NewCanvas(40);
    const float g = 20;
    const float card[] = {2.5f, 1.5f, 15.5f, 18.5f, 2.2f};
    Fill(&c, RoundBox, card, colour, g);
    const float line1[] = {5, 5, 13, 6.3f, 0.6f}, line2[] = {5, 8, 13, 9.3f, 0.6f}, line3[] = {5, 11, 9, 12.3f, 0.6f};
    Fill(&c, RoundBox, line1, 0xFFFFFFFF, g);
    Fill(&c, RoundBox, line2, 0xFFFFFFFF, g);
    Fill(&c, RoundBox, line3, 0xFFFFFFFF, g);
    const float ring[] = {14.5f, 14.5f, 5.4f}, disc[] = {14.5f, 14.5f, 4.3f};
    Fill(&c, Circle, ring, 0xFFFFFFFF, g);
    Fill(&c, Circle, disc, colour, g);
    if (badge == kSeal) {
        const float a[] = {12.5f, 14.6f, 14.0f, 16.1f, 0.65f}, b[] = {14.0f, 16.1f, 16.8f, 13.0f, 0.65f};
        Fill(&c, Segment, a, 0xFFFFFFFF, g);
        Fill(&c, Segment, b, 0xFFFFFFFF, g);
    } else if (badge == kClock) {
        const float a[] = {14.5f, 14.5f, 14.5f, 12.0f, 0.6f}, b[] = {14.5f, 14.5f, 16.4f, 15.6f, 0.6f};
        Fill(&c, Segment, a, 0xFFFFFFFF, g);
        Fill(&c, Segment, b, 0xFFFFFFFF, g);
    } else {
        const float a[] = {12.9f, 12.9f, 16.1f, 16.1f, 0.65f}, b[] = {16.1f, 12.9f, 12.9f, 16.1f, 0.65f};
        Fill(&c, Segment, a, 0xFFFFFFFF, g);
        Fill(&c, Segment, b, 0xFFFFFFFF, g);
    }
    return c;
}

/* A USB key seen from above: connector, body and its light. */
static Canvas KeyIcon(int size)
{
    Canvas c = NewCanvas(size);
    const float g = 24;
    const float plug[] = {8.5f, 1.5f, 15.5f, 9, 1.2f};
    Fill(&c, RoundBox, plug, 0xFFA7B0BC, g);
    const float pin1[] = {10, 3.5f, 11.5f, 5, 0.3f}, pin2[] = {12.5f, 3.5f, 14, 5, 0.3f};
    Fill(&c, RoundBox, pin1, 0xFFFFFFFF, g);
    Fill(&c, RoundBox, pin2, 0xFFFFFFFF, g);
    const float body[] = {6, 8, 18, 22.5f, 3};
    Fill(&c, RoundBox, body, 0xFF2B6CE0, g);
    const float band[] = {6, 8, 18, 10.5f, 0};
    Fill(&c, RoundBox, band, 0xFF2559C2, g);
    const float led[] = {12, 17, 1.8f};
    Fill(&c, Circle, led, 0xFFFFFFFF, g);
    return c;
}

/* An open circle whose end carries an arrowhead pointing up. */
static Canvas RefreshIcon(uint32_t colour)
{
    Canvas c = NewCanvas(32);
    const float g = 16;
    const float pi = 3.14159265f;
    const float ring[] = {8, 8.6f, 5.2f, 0.8f, -pi / 2 - 0.15f, -0.45f};
    Fill(&c, Arc, ring, colour, g);
    const float endX = 8 + 5.2f * cosf(-0.45f), endY = 8.6f + 5.2f * sinf(-0.45f);
    const float tipX = endX - 0.4f, tipY = endY - 3.2f;
    const float w1[] = {tipX, tipY, tipX - 3.0f, tipY + 0.9f, 0.8f};
    const float w2[] = {tipX, tipY, tipX + 0.9f, tipY + 3.0f, 0.8f};
    Fill(&c, Segment, w1, colour, g);
    Fill(&c, Segment, w2, colour, g);
    return c;
}

int main(int argc, char** argv)
{
    if (argc != 2) { fprintf(stderr, "usage: make-skin-images OUTPUT_FOLDER\n"); return 2; }
    MakeCrcTable();
    struct { const char* name; Canvas canvas; } images[] = {
        {"icon_cert.png", CertIcon(0xFF2B6CE0, kSeal)},
        {"icon_certramain.png", CertIcon(0xFFE8890C, kClock)},
        {"icon_certexpired.png", CertIcon(0xFFE81123, kCross)},
        {"icon_key.png", KeyIcon(48)},
        {"icon_key_large.png", KeyIcon(128)},
        {"icon_refresh.png", RefreshIcon(0xFF2B6CE0)},
    };
    int ok = 1;
    for (size_t i = 0; i < sizeof images / sizeof images[0]; ++i) {
        ok &= WritePng(&images[i].canvas, argv[1], images[i].name);
        free(images[i].canvas.px);
    }
    return ok ? 0 : 1;
}

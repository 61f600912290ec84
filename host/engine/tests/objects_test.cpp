#include <cstring>
#include <set>
#include <vector>

#include "host/engine/internal.h"
#include "host/engine/tests/fixture.h"

using ObjectsTest = EngineTest;
using namespace eng::detail;

namespace {

std::vector<RECTL> grid(int n) {
  std::vector<RECTL> rects;
  for (int i = 0; i < n; ++i) rects.push_back({i * 10, i * 20, i * 10 + 5, i * 20 + 20});
  return rects;
}

}  // namespace

TEST_F(ObjectsTest, ClipEnumerationYieldsEachRectangleOnceWhateverTheBatch) {
  for (int count : {1, 7, 23}) {
    CLIPOBJ* clip = makeClip(grid(count), SIZEL{1000, 1000});
    for (ULONG batch : {1u, 8u, 10u}) {
      SCOPED_TRACE(testing::Message() << count << " rectangles, " << batch << " a call");
      EXPECT_EQ(CLIPOBJ_cEnumStart(clip, TRUE, CT_RECTANGLES, CD_RIGHTDOWN, 0), static_cast<ULONG>(count));
      std::vector<ULONG> buffer(1 + 4 * batch);
      std::vector<LONG> tops;
      BOOL more;
      int calls = 0;
      do {
        more = CLIPOBJ_bEnum(clip, static_cast<ULONG>(buffer.size() * 4), buffer.data());
        auto* e = reinterpret_cast<ENUMRECTS*>(buffer.data());
        EXPECT_LE(e->c, batch);
        for (ULONG i = 0; i < e->c; ++i) tops.push_back(e->arr[i].top);
        ++calls;
      } while (more && calls < 100);
      std::vector<LONG> want;
      for (const auto& r : grid(count)) want.push_back(r.top);
      EXPECT_EQ(tops, want);
    }
    EXPECT_EQ(CLIPOBJ_cEnumStart(clip, TRUE, CT_RECTANGLES, CD_ANY, static_cast<ULONG>(count)),
              static_cast<ULONG>(count));
    if (count > 1) {
      EXPECT_EQ(CLIPOBJ_cEnumStart(clip, TRUE, CT_RECTANGLES, CD_ANY, static_cast<ULONG>(count - 1)), 0xFFFFFFFFu);
    }
    EngDeleteClip(clip);
  }
  // A clip the driver makes itself enumerates its bounds.
  CLIPOBJ* own = EngCreateClip();
  own->iDComplexity = DC_RECT;
  own->rclBounds = {1, 2, 3, 4};
  ENUMRECTS one;
  EXPECT_EQ(CLIPOBJ_cEnumStart(own, TRUE, CT_RECTANGLES, CD_ANY, 0), 1u);
  EXPECT_FALSE(CLIPOBJ_bEnum(own, sizeof one, reinterpret_cast<ULONG*>(&one)));
  EXPECT_EQ(one.arr[0].right, 3);
  CLIPOBJ copy = *own;  // a copy reaches the same clip
  EXPECT_FALSE(CLIPOBJ_bEnum(&copy, sizeof one, reinterpret_cast<ULONG*>(&one)));
  EXPECT_EQ(one.c, 0u);
  EngDeleteClip(own);
  EXPECT_FALSE(CLIPOBJ_bEnum(&copy, sizeof one, reinterpret_cast<ULONG*>(&one)));
  EXPECT_EQ(eng::misuse().size(), 1u);
}

TEST_F(ObjectsTest, StringBatchesCoverEveryGlyphOnce) {
  FONTOBJ* font = makeFont();
  for (const std::u16string text : {u"abc", u"A longer line of text", u""}) {
    STROBJ* str = makeString(text, font, POINTL{100, 200}, 1252);
    EXPECT_EQ(str->pgp != nullptr, text.size() <= STROBJ_BATCH);
    STROBJ copy = *str;  // drivers enumerate copies too
    for (STROBJ* s : {str, &copy}) {
      STROBJ_vEnumStart(s);
      std::u16string seen;
      LONG lastX = -1;
      BOOL more;
      do {
        ULONG n = 0;
        GLYPHPOS* gp = nullptr;
        more = STROBJ_bEnum(s, &n, &gp);
        if (!s->pgp) {
          EXPECT_LE(n, STROBJ_BATCH);
        }
        for (ULONG i = 0; i < n; ++i) {
          seen += static_cast<char16_t>(gp[i].hg);
          EXPECT_GT(gp[i].ptl.x, lastX);
          lastX = gp[i].ptl.x;
        }
      } while (more);
      EXPECT_EQ(seen, text);
    }
    EXPECT_EQ(STROBJ_dwGetCodePage(str), 1252u);
    freeString(str);
  }
  freeFont(font);
}

TEST_F(ObjectsTest, TheRasterFontGivesRowsOfWholeBytes) {
  FONTOBJ* font = makeFont();
  IFIMETRICS* ifi = FONTOBJ_pifi(font);
  ASSERT_NE(ifi, nullptr);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(reinterpret_cast<BYTE*>(ifi) + ifi->dpwszFamilyName)),
            u"Engine Raster");
  EXPECT_EQ(font->flFontType & RASTER_FONTTYPE, RASTER_FONTTYPE);
  ULONG cj = 1;
  EXPECT_EQ(FONTOBJ_pvTrueTypeFontFile(font, &cj), nullptr);
  EXPECT_EQ(cj, 0u);
  for (HGLYPH hg : {HGLYPH{'A'}, HGLYPH{'A'}, HGLYPH{0x4E2D}}) {
    GLYPHDATA* gd = nullptr;
    ASSERT_EQ(FONTOBJ_cGetGlyphs(font, FO_GLYPHBITS, 1, &hg, reinterpret_cast<PVOID*>(&gd)), 1u);
    GLYPHBITS* gb = gd->gdf.pgb;
    LONG rowBytes = (gb->sizlBitmap.cx + 7) / 8;
    ASSERT_EQ(rowBytes, 2);  // ten pixels wide
    // The last pixel of the first row is set, the padding bits after it clear.
    EXPECT_EQ(gb->aj[1] & 0x40, 0x40);
    EXPECT_EQ(gb->aj[1] & 0x3F, 0);
  }
  HGLYPH two[2] = {'A', 'B'};
  PVOID out = nullptr;
  EXPECT_EQ(FONTOBJ_cGetGlyphs(font, FO_PATHOBJ, 1, two, &out), 0u);
  EXPECT_EQ(FONTOBJ_cGetGlyphs(font, FO_GLYPHBITS, 2, two, &out), 0u);
  EXPECT_EQ(eng::misuse().size(), 1u);
  XFORMOBJ* xo = FONTOBJ_pxoGetXform(font);
  POINTL p{3, -4}, q{};
  EXPECT_TRUE(XFORMOBJ_bApplyXform(xo, XF_LTOFX, 1, &p, &q));
  EXPECT_EQ(q.x, 48);
  EXPECT_EQ(q.y, -64);
  freeFont(font);
}

TEST_F(ObjectsTest, TransformsApplyForwardAndInverse) {
  XFORMOBJ xo{0, 2, 0, 0, 4, 10, -10};
  XFORML xf;
  EXPECT_EQ(XFORMOBJ_iGetXform(&xo, &xf), GX_SCALE);
  float m22;
  std::memcpy(&m22, &xf.eM22, 4);
  EXPECT_EQ(m22, 4.0f);
  POINTL in[2] = {{1, 1}, {-3, 5}}, out[2], back[2];
  ASSERT_TRUE(XFORMOBJ_bApplyXform(&xo, XF_LTOL, 2, in, out));
  EXPECT_EQ(out[1].x, 4);
  EXPECT_EQ(out[1].y, 10);
  ASSERT_TRUE(XFORMOBJ_bApplyXform(&xo, XF_INV_LTOL, 2, out, back));
  EXPECT_EQ(back[1].x, -3);
  EXPECT_EQ(back[1].y, 5);
  POINTL fix[1] = {{out[0].x * 16, out[0].y * 16}};
  ASSERT_TRUE(XFORMOBJ_bApplyXform(&xo, XF_INV_FXTOL, 1, fix, back));
  EXPECT_EQ(back[0].x, 1);
  XFORMOBJ flat{0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(XFORMOBJ_bApplyXform(&flat, XF_INV_LTOL, 1, in, out));
}

TEST_F(ObjectsTest, PathsEnumerateTheirFiguresAndClipLinesGiveTheRunsInside) {
  PATHOBJ* ppo = makeBoxPath(RECTL{0, 0, 10, 10});
  RECTFX b;
  PATHOBJ_vGetBounds(ppo, &b);
  EXPECT_EQ(b.xRight, 160);
  PATHDATA pd;
  PATHOBJ_vEnumStart(ppo);
  EXPECT_FALSE(PATHOBJ_bEnum(ppo, &pd));
  EXPECT_EQ(pd.count, 4u);
  EXPECT_EQ(pd.flags, PD_BEGINSUBPATH | PD_ENDSUBPATH | PD_CLOSEFIGURE);
  EngDeletePath(ppo);

  // A horizontal line from x 0 to 20 through two clip rectangles.
  PATHOBJ* line = EngCreatePath();
  PATHOBJ_bMoveTo(line, POINTFIX{0, 5 << 4});
  POINTFIX end{20 << 4, 5 << 4};
  PATHOBJ_bPolyLineTo(line, &end, 1);
  CLIPOBJ* clip = makeClip({{2, 0, 5, 10}, {8, 0, 12, 10}}, SIZEL{100, 100});
  PATHOBJ_vEnumStartClipLines(line, clip, nullptr, nullptr);
  struct {
    CLIPLINE cl;
    RUN more[3];
  } buf;
  EXPECT_FALSE(PATHOBJ_bEnumClipLines(line, sizeof buf, &buf.cl));
  ASSERT_EQ(buf.cl.c, 2u);
  EXPECT_EQ(buf.cl.arun[0].iStart, 2);
  EXPECT_EQ(buf.cl.arun[0].iStop, 4);
  EXPECT_EQ(buf.more[0].iStart, 8);
  EXPECT_EQ(buf.more[0].iStop, 11);
  EngDeleteClip(clip);
  EngDeletePath(line);
}

TEST_F(ObjectsTest, BitmapsEraseAndSurfacesAreCheckedWhenGivenBack) {
  HBITMAP bm = EngCreateBitmap(SIZEL{10, 3}, 0, BMF_1BPP, BMF_TOPDOWN, nullptr);
  ASSERT_NE(bm, nullptr);
  SURFOBJ* so = EngLockSurface(bm);
  EXPECT_EQ(so->lDelta, 4);
  RECTL all{0, 0, 10, 3};
  EXPECT_TRUE(EngEraseSurface(so, &all, 0xFFFFFFFF));
  auto* bits = static_cast<BYTE*>(so->pvBits);
  EXPECT_EQ(bits[0], 0xFF);
  EXPECT_EQ(bits[1], 0xC0);
  EngUnlockSurface(so);
  EngUnlockSurface(so);
  EXPECT_TRUE(EngDeleteSurface(bm));
  EXPECT_FALSE(EngDeleteSurface(bm));
  EXPECT_EQ(EngCreateBitmap(SIZEL{100000, 100000}, 0, BMF_32BPP, 0, nullptr), nullptr);
  EXPECT_EQ(eng::misuse().size(), 3u);
  eng::knobs().failPalette = true;
  EXPECT_EQ(EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0), nullptr);
}

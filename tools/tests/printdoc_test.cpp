// The print runner's document reader: the line format into the player's
// document, the DEVMODE fields, and the lines it refuses, each with its
// number.

#include <gtest/gtest.h>

#include <string>

#include "tools/run/document.h"

namespace {

RunDocument parsed(const std::string& text) {
  RunDocument doc;
  DocumentError error;
  EXPECT_TRUE(parseDocument(text, doc, error)) << error.line << ": " << error.problem;
  return doc;
}

bool sameRect(const RECTL& a, const RECTL& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST(PrintDocument, TheBlankSampleIsTwoEmptyPages) {
  const char* text = sampleDocument("blank");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(sampleDocument("blank2"), nullptr);
  RunDocument doc = parsed(text);
  EXPECT_EQ(doc.document.name, u"blank");
  ASSERT_EQ(doc.document.pages.size(), 2u);
  EXPECT_TRUE(doc.document.pages[0].ops.empty());
  EXPECT_TRUE(doc.document.pages[1].ops.empty());
  EXPECT_EQ(doc.document.resetAfterPage, -1);
  EXPECT_EQ(doc.document.abortAfterPage, -1);
  // Letter comes from the DEVMODE's defaults, so --set may change it.
  EXPECT_FALSE(doc.devmode.paper);
}

TEST(PrintDocument, ReadsEveryOperationWithItsOptions) {
  RunDocument doc = parsed(
      "# a comment, then a blank line\r\n"
      "\r\n"
      "document \t Quarterly report \xF0\x9F\x93\x88 #3  \r\n"
      "devmode orientation=2 paper=9\n"
      "page\n"
      "  paint clip=0,0,50,40 clip=0,40,80,90 mix=0x0B0B hatch=4\n"
      "\tbitblt rect=-10,20,110,220 rop=0xCCCC color=0x00FF8000\n"
      "stroke rect=1,2,3,4 mix=3341\n"
      "fill rect=5,6,7,8 clip=0,0,8,8\n"
      "strokefill rect=9,10,11,12\n"
      "reset orientation=1 copies=2\n"
      "page\n"
      "text \"say \\\"hi\\\" \\\\ \xC3\xA9\" at=100,-200 codepage=1250\n"
      "escape 4115 0a1B\n"
      "escape 0x1000\n"
      "drawescape 24 ff rect=0,0,10,10 clip=1,1,2,2\n"
      "abort\n"
      "# only comments after abort\n");
  const eng::Document& d = doc.document;
  EXPECT_EQ(d.name, u"Quarterly report \U0001F4C8 #3");
  EXPECT_EQ(doc.devmode.orientation, 2);
  EXPECT_EQ(doc.devmode.paper, 9);
  EXPECT_EQ(doc.reset.orientation, 1);
  EXPECT_EQ(doc.reset.copies, 2);
  EXPECT_FALSE(doc.reset.paper);
  EXPECT_EQ(d.resetAfterPage, 0);
  EXPECT_EQ(d.abortAfterPage, 1);
  ASSERT_EQ(d.pages.size(), 2u);
  ASSERT_EQ(d.pages[0].ops.size(), 5u);
  ASSERT_EQ(d.pages[1].ops.size(), 4u);

  const eng::Operation& paint = d.pages[0].ops[0];
  EXPECT_EQ(paint.kind, eng::Operation::Paint);
  ASSERT_EQ(paint.clip.size(), 2u);
  EXPECT_TRUE(sameRect(paint.clip[1], {0, 40, 80, 90}));
  EXPECT_EQ(paint.mix, 0x0B0Bu);
  EXPECT_EQ(paint.color, 0xFFFFFFFFu);
  EXPECT_EQ(paint.hatch, 4u);

  const eng::Operation& blt = d.pages[0].ops[1];
  EXPECT_EQ(blt.kind, eng::Operation::BitBlt);
  EXPECT_TRUE(sameRect(blt.rect, {-10, 20, 110, 220}));
  EXPECT_EQ(blt.rop4, 0xCCCCu);
  EXPECT_EQ(blt.color, 0x00FF8000u);
  EXPECT_TRUE(blt.clip.empty());

  EXPECT_EQ(d.pages[0].ops[2].kind, eng::Operation::Stroke);
  EXPECT_EQ(d.pages[0].ops[2].mix, 3341u);
  EXPECT_EQ(d.pages[0].ops[3].kind, eng::Operation::Fill);
  EXPECT_EQ(d.pages[0].ops[3].clip.size(), 1u);
  EXPECT_EQ(d.pages[0].ops[4].kind, eng::Operation::StrokeAndFill);
  EXPECT_EQ(d.pages[0].ops[4].mix, 0x0D0Du);
  EXPECT_TRUE(sameRect(d.pages[0].ops[4].rect, {9, 10, 11, 12}));

  const eng::Operation& text = d.pages[1].ops[0];
  EXPECT_EQ(text.kind, eng::Operation::Text);
  EXPECT_EQ(text.text, u"say \"hi\" \\ \u00E9");
  EXPECT_EQ(text.rect.left, 100);
  EXPECT_EQ(text.rect.top, -200);
  EXPECT_EQ(text.codePage, 1250u);
  EXPECT_EQ(text.color, 0u);

  EXPECT_EQ(d.pages[1].ops[1].kind, eng::Operation::Escape);
  EXPECT_EQ(d.pages[1].ops[1].escape, 4115u);
  EXPECT_EQ(d.pages[1].ops[1].data, (std::vector<uint8_t>{0x0A, 0x1B}));
  EXPECT_EQ(d.pages[1].ops[2].escape, 0x1000u);
  EXPECT_TRUE(d.pages[1].ops[2].data.empty());
  const eng::Operation& draw = d.pages[1].ops[3];
  EXPECT_EQ(draw.kind, eng::Operation::DrawEscape);
  EXPECT_EQ(draw.data, (std::vector<uint8_t>{0xFF}));
  EXPECT_TRUE(sameRect(draw.rect, {0, 0, 10, 10}));
  EXPECT_EQ(draw.clip.size(), 1u);
}

TEST(PrintDocument, AnEmptyDocumentHasNoPages) {
  RunDocument doc = parsed("# nothing\n\n");
  EXPECT_TRUE(doc.document.pages.empty());
  EXPECT_EQ(doc.document.name, u"");
}

TEST(PrintDocument, ABadLineIsNamedWithItsNumber) {
  struct Case {
    const char* text;
    int line;
    const char* problem;
  } cases[] = {
      {"page\npage\n# c\n\npage\npage\npgae\n", 7, "unknown keyword 'pgae'"},
      {"Page\n", 1, "unknown keyword 'Page'"},
      {"\"page\"\n", 1, "unknown keyword '\"page\"'"},
      {"document a\ndocument b\n", 2, "a second 'document'"},
      {"page\ndocument late\n", 2, "'document' after the first page"},
      {"document   \n", 1, "'document' needs a name"},
      {"devmode\n", 1, "'devmode' needs FIELD=VALUE"},
      {"devmode copies=2\ndevmode copies=3\n", 2, "a second 'devmode'"},
      {"page\ndevmode copies=2\n", 2, "'devmode' after the first page (a reset changes it between pages)"},
      {"devmode colour=1\n", 1, "unknown field 'colour'"},
      {"devmode copies\n", 1, "bad field 'copies': FIELD=VALUE"},
      {"devmode copies=1 copies=2\n", 1, "copies given twice"},
      {"devmode \"copies=2\"\n", 1, "bad field '\"copies=2\"'"},
      {"page landscape\n", 1, "unknown page option 'landscape'"},
      {"paint\n", 1, "an operation before the first page"},
      {"escape 1 00\npage\n", 1, "an operation before the first page"},
      {"page\nreset\npaint\n", 3, "an operation after 'reset': start a page first"},
      {"reset\n", 1, "'reset' before the first page"},
      {"page\nreset\npage\nreset\npage\n", 4, "a second 'reset': a document has one at most"},
      {"page\npage\nreset copies=2\n\n# end\n", 3, "'reset' after the last page"},
      {"page\nreset paper=0\npage\n", 2, "bad value '0' for paper"},
      {"abort\n", 1, "'abort' before the first page"},
      {"page\nreset\nabort\n", 3, "'abort' after 'reset': a page must come between"},
      {"page\nabort now\n", 2, "'abort' takes nothing, not 'now'"},
      {"page\nabort\npage\n", 3, "nothing but comments may follow 'abort'"},
      {"page\nabort\npaint\n", 3, "nothing but comments may follow 'abort'"},
      // Numbers, rectangles and hex.
      {"page\nescape 12z\n", 2, "bad number '12z'"},
      {"page\nescape 4294967296\n", 2, "bad number '4294967296'"},
      {"page\nescape 0x100000000\n", 2, "bad number '0x100000000'"},
      {"page\nescape -1\n", 2, "bad number '-1'"},
      {"page\nescape\n", 2, "'escape' needs a code"},
      {"page\nescape 1 0a1\n", 2, "odd number of hex digits in '0a1'"},
      {"page\nescape 1 0g\n", 2, "bad hex '0g'"},
      {"page\nescape 1 00 11\n", 2, "unknown option '11' for escape"},
      {"page\nescape 1 clip=0,0,1,1\n", 2, "unknown option 'clip=0,0,1,1' for escape"},
      {"page\nmix=1\n", 2, "unknown keyword 'mix=1'"},
      {"page\npaint mix=0x0D0D mix=1\n", 2, "mix given twice"},
      {"page\npaint mix=\n", 2, "bad value '' for mix"},
      {"page\npaint rop=0xCCCC\n", 2, "unknown option 'rop=0xCCCC' for paint"},
      {"page\npaint color=1 hatch=2\n", 2, "color= and hatch= together"},
      {"page\npaint hatch=6\n", 2, "bad value '6' for hatch"},
      {"page\npaint color=0xFFFFFFFF\n", 2,
       "bad value '0xFFFFFFFF' for color: that colour stands for a hatched brush (hatch=)"},
      {"page\npaint clip=0,0,10\n", 2, "bad value '0,0,10' for clip"},
      {"page\npaint clip=0,0,10,10,\n", 2, "bad value '0,0,10,10,' for clip"},
      {"page\npaint clip=10,0,0,10\n", 2, "bad value '10,0,0,10' for clip"},
      {"page\nfill rect=0,0,134217728,1\n", 2, "bad value '0,0,134217728,1' for rect"},
      {"page\nfill rect=-134217729,0,1,1\n", 2, "bad value '-134217729,0,1,1' for rect"},
      {"page\nfill\n", 2, "'fill' needs rect="},
      {"page\nbitblt clip=0,0,1,1\n", 2, "'bitblt' needs rect="},
      {"page\ntext at=0,0\n", 2, "'text' needs a \"STRING\" first"},
      {"page\ntext \"a\"\n", 2, "'text' needs at="},
      {"page\ntext \"a\" at=1\n", 2, "bad value '1' for at"},
      {"page\ntext \"a\" \"b\" at=1,1\n", 2, "unknown option '\"b\"' for text"},
      {"page\ntext \"abc at=1,1\n", 2, "unterminated string"},
      {"page\ntext \"a\\n\" at=1,1\n", 2, "bad escape in a string: only \\\" and \\\\ are known"},
      {"page\ntext \"a\"at=1,1\n", 2, "a string runs into 'a'"},
      // What a line may hold.
      {"page\npaint\x01\n", 2, "a control character in the line"},
      {"page\ntext \"a\rb\" at=1,1\n", 2, "a control character in the line"},
      {"document caf\xE9\n", 1, "the line is not UTF-8 text"},
      {"document \xC0\xAF\n", 1, "the line is not UTF-8 text"},    // overlong '/'
      {"document \xED\xA0\x80\n", 1, "the line is not UTF-8 text"},  // a surrogate
      {"document \xF4\x90\x80\x80\n", 1, "the line is not UTF-8 text"},  // beyond U+10FFFF
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    RunDocument doc;
    DocumentError error;
    EXPECT_FALSE(parseDocument(c.text, doc, error));
    EXPECT_EQ(error.line, c.line);
    EXPECT_EQ(error.problem, c.problem);
  }
}

TEST(PrintDocument, ANulByteInALineIsRefused) {
  RunDocument doc;
  DocumentError error;
  EXPECT_FALSE(parseDocument(std::string_view("page\npa\0int\n", 12), doc, error));
  EXPECT_EQ(error.line, 2);
  EXPECT_EQ(error.problem, "a control character in the line");
}

TEST(DevModeFields, EachFieldTakesItsRangeOnly) {
  struct Case {
    const char* assignment;
    const char* problem;
  } cases[] = {
      {"orientation=1", ""},     {"orientation=2", ""},     {"orientation=3", "bad value '3' for orientation"},
      {"paper=1", ""},           {"paper=41", ""},          {"paper=42", "bad value '42' for paper"},
      {"copies=32767", ""},      {"copies=0", "bad value '0' for copies"},
      {"copies=32768", "bad value '32768' for copies"},   {"copies=+2", "bad value '+2' for copies"},
      {"copies=0x10", "bad value '0x10' for copies"},     {"duplex=3", ""},
      {"duplex=0", "bad value '0' for duplex"},           {"collate=0", ""},
      {"collate=-0", "bad value '-0' for collate"},       {"resolution=600", ""},
      {"resolution=600x300", ""},                         {"resolution=0", "bad value '0' for resolution"},
      {"resolution=600x", "bad value '600x' for resolution"},
      {"resolution=x600", "bad value 'x600' for resolution"},
      {"resolution=600x300x1", "bad value '600x300x1' for resolution"},
      {"Copies=1", "unknown field 'Copies'"},             {"=1", "unknown field ''"},
      {"copies", "bad field 'copies': FIELD=VALUE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.assignment);
    DevModeFields fields;
    EXPECT_EQ(setDevModeField(c.assignment, fields), c.problem);
  }
}

TEST(DevModeFields, LaidOverTheDefaultsTheyMarkWhatTheySet) {
  DevModeFields document;
  ASSERT_EQ(setDevModeField("paper=9", document), "");
  ASSERT_EQ(setDevModeField("orientation=2", document), "");
  ASSERT_EQ(setDevModeField("copies=3", document), "");
  DevModeFields command;
  ASSERT_EQ(setDevModeField("copies=2", command), "");
  ASSERT_EQ(setDevModeField("resolution=300x150", command), "");
  ASSERT_EQ(setDevModeField("duplex=2", command), "");
  ASSERT_EQ(setDevModeField("collate=1", command), "");

  const eng::PublicDevMode dm = publicDevModeOf(overlayFields(document, command), u"Runner");
  EXPECT_EQ(dm.deviceName, u"Runner");
  EXPECT_EQ(dm.paperSize, 9);
  EXPECT_EQ(dm.formName, u"A4");  // the paper's form, not the default Letter
  EXPECT_EQ(dm.orientation, 2);
  EXPECT_EQ(dm.copies, 2);  // the command line over the document
  EXPECT_EQ(dm.printQuality, 300);
  EXPECT_EQ(dm.yResolution, 150);
  EXPECT_EQ(dm.duplex, 2);
  EXPECT_EQ(dm.collate, 1);
  // The defaults' fields, with duplex (0x1000) and collate (0x8000) added.
  EXPECT_EQ(dm.fields, 0x1u | 0x2 | 0x100 | 0x400 | 0x1000 | 0x2000 | 0x8000 | 0x10000);

  const eng::PublicDevMode plain = publicDevModeOf({}, u"Runner");
  EXPECT_EQ(plain.fields, eng::PublicDevMode().fields);
  EXPECT_EQ(plain.formName, u"Letter");
  EXPECT_EQ(plain.printQuality, 600);
}

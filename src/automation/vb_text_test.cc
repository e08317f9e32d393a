#include "automation/vb_text.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "nerolin/automation_error.h"
#include "support/test_support.h"

namespace nerolin {
namespace {

constexpr CompareMode kBin = CompareMode::kBinary;
constexpr CompareMode kTxt = CompareMode::kText;

TEST(VbText, InStrFindsBytePositionsFromStart) {
  struct Case {
    std::int64_t start;
    std::string_view text;
    std::string_view find;
    CompareMode mode;
    std::int64_t expected;
  };
  const Case cases[] = {
      {1, "XXpXXpXXPXXP", "P", kBin, 9},
      {4, "XXpXXpXXPXXP", "P", kTxt, 6},
      {1, "XXpXXpXXPXXP", "p", kBin, 3},
      {10, "XXpXXpXXPXXP", "P", kBin, 12},
      {13, "XXpXXpXXPXXP", "P", kBin, 0},
      {1, "<detail>", "<DETAIL>", kBin, 0},
      {1, "<detail>", "<DETAIL>", kTxt, 1},
      // Positions count bytes: "á" takes two.
      {1, "áb", "b", kBin, 3},
      {1, "xÁRBOL", "árbol", kTxt, 2},
      {1, "ÑANDÚ", "ñandú", kTxt, 1},
      // ß and ÿ have no same-length capital; × is no letter.
      {1, "STRASSE", "ß", kTxt, 0},
      {1, "a×b", "A÷B", kTxt, 0},
      // Starting inside a character still folds it as UCase of the whole
      // text would.
      {3, "xáá", "\x81", kTxt, 3},
      // Empty search texts.
      {1, "abc", "", kBin, 1},
      {4, "abc", "", kBin, 4},
      {5, "abc", "", kBin, 0},
      {1, "", "", kBin, 0},
      {1, "", "a", kBin, 0},
      {1, "ab", "abc", kBin, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + std::string(c.find) + " from " +
                 std::to_string(c.start));
    EXPECT_EQ(InStr(c.start, c.text, c.find, c.mode), c.expected);
  }
  EXPECT_EQ(InStr("abcabc", "ca"), 3);
}

TEST(VbText, InStrRevMatchesWithinTheFirstStartBytes) {
  struct Case {
    std::string_view text;
    std::string_view find;
    std::int64_t start;
    CompareMode mode;
    std::int64_t expected;
  };
  const Case cases[] = {
      {"abcabc", "abc", -1, kBin, 4},
      {"abcabc", "abc", 6, kBin, 4},
      {"abcabc", "abc", 5, kBin, 1},
      {"abcabc", "bc", 2, kBin, 0},
      {"abcabc", "BC", -1, kTxt, 5},
      {"abcabc", "BC", -1, kBin, 0},
      {"c:\\a/b\\x.htm", "\\", -1, kBin, 7},
      {"abc", "", -1, kBin, 3},
      {"abc", "", 2, kBin, 2},
      {"abc", "a", 4, kBin, 0},
      {"", "a", -1, kBin, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + std::string(c.find) + " to " +
                 std::to_string(c.start));
    EXPECT_EQ(InStrRev(c.text, c.find, c.start, c.mode), c.expected);
  }
}

TEST(VbText, InvalidPositionsAndLengthsRaiseError5) {
  EXPECT_AUTOMATION_ERROR(InStr(0, "abc", "a"), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(InStr(-1, "abc", "a"), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(InStrRev("abc", "a", 0), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(InStrRev("abc", "a", -2), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(Left("abc", -1), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(Right("abc", -1), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(Mid("abc", 0), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(Mid("abc", 0, 1), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(Mid("abc", 1, -1), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(RightChars("abc", -1), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(Split("a b", " ", -2), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR_MSG(Mid("", 0), errors::kInvalidArgument,
                              "Invalid procedure call or argument");
}

TEST(VbText, LeftRightMidCutBytesAndClampToTheText) {
  EXPECT_EQ(Left("abcdef", 2), "ab");
  EXPECT_EQ(Left("abc", 10), "abc");
  EXPECT_EQ(Left("abc", 0), "");
  EXPECT_EQ(Right("abcdef", 2), "ef");
  EXPECT_EQ(Right("abc", 10), "abc");
  EXPECT_EQ(Mid("abcdef", 3), "cdef");
  EXPECT_EQ(Mid("abcdef", 7), "");
  EXPECT_EQ(Mid("abcdef", 100, 2), "");
  EXPECT_EQ(Mid("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Mid("abcdef", 5, 10), "ef");
  EXPECT_EQ(Mid("ñx", 3, 1), "x");
}

TEST(VbText, ReplaceChangesEveryOccurrenceLeftToRightOnce) {
  struct Case {
    std::string_view text, find, with;
    CompareMode mode;
    std::string_view expected;
  };
  const Case cases[] = {
      {"aaa", "a", "aa", kBin, "aaaaaa"},
      {"aaaa", "aa", "b", kBin, "bb"},
      {"aaa", "aa", "b", kBin, "ba"},
      {"a-b-c", "-", "", kBin, "abc"},
      {"abc", "", "x", kBin, "abc"},
      {"", "a", "x", kBin, ""},
      {"Año año AÑO", "año", "x", kBin, "Año x AÑO"},
      {"Año año AÑO", "año", "x", kTxt, "x x x"},
      // The text compare keeps the unmatched text as it was written.
      {"<Br>x<BR>", "<br>", "\n", kTxt, "\nx\n"},
      {"-ms-word-break: break-all;", "-ms-word-break: break-all;",
       "word-break: break-all", kBin, "word-break: break-all"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + std::string(c.find));
    EXPECT_EQ(Replace(c.text, c.find, c.with, c.mode), c.expected);
  }
}

TEST(VbText, CaseMapsAsciiAndLatin1LettersOnly) {
  EXPECT_EQ(UCase("áéíóúñü àçõ þ abc"), "ÁÉÍÓÚÑÜ ÀÇÕ Þ ABC");
  EXPECT_EQ(LCase("ÁÉÍÓÚÑÜ ÀÇÕ Þ ABC"), "áéíóúñü àçõ þ abc");
  // No same-length partner, or no letter at all.
  EXPECT_EQ(UCase("ß ÿ ÷ × œ ж 1"), "ß ÿ ÷ × œ ж 1");
  EXPECT_EQ(LCase("ß ÿ ÷ × Œ Ж 1"), "ß ÿ ÷ × Œ Ж 1");
  // Broken UTF-8 stays as it is, byte for byte.
  const std::string broken = "\xA1\xC3";
  EXPECT_EQ(UCase(broken), broken);
  EXPECT_EQ(LCase("\x81"), "\x81");
}

TEST(VbText, EqualsIgnoreCaseAgreesWithUCase) {
  EXPECT_TRUE(EqualsIgnoreCase("TemplateFolder", "TEMPLATEfolder"));
  EXPECT_TRUE(EqualsIgnoreCase("Año", "AÑO"));
  EXPECT_TRUE(EqualsIgnoreCase("", ""));
  EXPECT_FALSE(EqualsIgnoreCase("Ano", "Año"));
  EXPECT_FALSE(EqualsIgnoreCase("ß", "SS"));
  EXPECT_FALSE(EqualsIgnoreCase("÷", "×"));
  EXPECT_FALSE(EqualsIgnoreCase("a", "ab"));
}

TEST(VbText, TrimRemovesSpacesOnly) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(LTrim("  a "), "a ");
  EXPECT_EQ(RTrim("  a "), "  a");
  EXPECT_EQ(Trim("\t a\n"), "\t a\n");
  EXPECT_EQ(Trim("   "), "");
}

TEST(VbText, TrimBlanksRemovesSpacesAndTabs) {
  EXPECT_EQ(TrimBlanks("\t a b \t"), "a b");
  EXPECT_EQ(TrimBlanks("\na\r"), "\na\r");
  EXPECT_EQ(TrimBlanks(" \t "), "");
}

TEST(VbText, LenAndRightCharsCountCodePoints) {
  EXPECT_EQ(Len(""), 0);
  EXPECT_EQ(Len("año"), 3);
  EXPECT_EQ(Len("€日𝄞"), 3);
  // Each byte of a broken sequence is a character of its own.
  EXPECT_EQ(Len("\xC3x\x80\xE2\x82"), 5);
  EXPECT_EQ(RightChars("/img/logo.jpg", 3), "jpg");
  EXPECT_EQ(RightChars("foto.pñg", 3), "pñg");
  EXPECT_EQ(RightChars("€日", 1), "日");
  EXPECT_EQ(RightChars("ab", 5), "ab");
  EXPECT_EQ(RightChars("ab", 0), "");
}

TEST(VbText, SplitCutsAtEveryDelimiterUpToTheLimit) {
  using Pieces = std::vector<std::string>;
  EXPECT_EQ(Split("a, b, c", ", "), (Pieces{"a", "b", "c"}));
  EXPECT_EQ(Split("a,b, c", ", "), (Pieces{"a,b", "c"}));
  EXPECT_EQ(Split(",a,", ","), (Pieces{"", "a", ""}));
  EXPECT_EQ(Split("a b c", " ", 2), (Pieces{"a", "b c"}));
  EXPECT_EQ(Split("a b c", " ", 1), (Pieces{"a b c"}));
  EXPECT_EQ(Split("a b c", " ", 0), Pieces{});
  EXPECT_EQ(Split("", ","), Pieces{});
  EXPECT_EQ(Split("abc", ""), (Pieces{"abc"}));
  EXPECT_EQ(Split("1x2X3", "x", -1, kTxt), (Pieces{"1", "2", "3"}));
  EXPECT_EQ(Split("1x2X3", "x"), (Pieces{"1", "2X3"}));
}

TEST(VbText, TextCompareStaysLinearOnLongTexts) {
  // Quadratic work here (a copy per position or per match) would take
  // minutes; linear work takes milliseconds.
  std::string text(4'000'000, 'a');
  text += "Needle";
  EXPECT_EQ(InStr(1, text, "NEEDLE", kTxt), 4'000'001);
  EXPECT_EQ(InStrRev(text, "a", -1, kTxt), 4'000'000);
  std::string replaced = Replace(text, "A", "", kTxt);
  EXPECT_EQ(replaced, "Needle");
}

TEST(VbText, RepeatedTextSearchesCostTheDistanceScanned) {
  // A scan from match to match over a long text must not redo work for the
  // whole rest of the text on every call.
  std::string text;
  for (int i = 0; i < 100'000; ++i) text += "<td>x</td>";
  std::int64_t count = 0;
  for (std::int64_t at = InStr(1, text, "<TD>", kTxt);
       at > 0 && count <= 100'000; at = InStr(at + 1, text, "<TD>", kTxt)) {
    ++count;
  }
  EXPECT_EQ(count, 100'000);
}

}  // namespace
}  // namespace nerolin

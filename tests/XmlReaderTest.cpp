#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "datafile/XmlReader.h"
#include "datafile/XmlTag.h"
#include "platform/Platform.h"
#include "tests/TestPorts.h"

namespace tastora {
namespace {

// Records the events as "open A[X=1,Y=2] | close A | text 'x' | unclosed B".
struct EventLog {
  std::string log;
  void Add(const std::string& event) { log += (log.empty() ? "" : " | ") + event; }
  void Attach(TXMLReader& reader) {
    reader.OnTagOpen = [this](const TXMLTag& tag) {
      std::string attrs;
      for (int i = 0; i < tag.AttributeCount(); ++i) {
        attrs += (i ? "," : "") + tag.AttributeName(i) + "=" + tag.AttributeValue(i);
      }
      Add("open " + tag.Name + "[" + attrs + "]");
    };
    reader.OnTagClose = [this](const TXMLTag& tag) { Add("close " + tag.Name); };
    reader.OnText = [this](const std::string& text) { Add("text '" + text + "'"); };
    reader.OnUnclosed = [this](const TXMLTag& tag) { Add("unclosed " + tag.Name); };
  }
};

std::string Events(const std::vector<std::string>& lines) {
  TXMLReader reader;
  EventLog events;
  events.Attach(reader);
  reader.LoadFromStrings(lines);
  EXPECT_TRUE(reader.IsEmpty());
  return events.log;
}

TEST(XmlReader, EventOrder) {
  const struct {
    std::vector<std::string> lines;
    const char* events;
  } cases[] = {
      {{}, ""},
      {{"", ""}, ""},
      {{"<A x=1><B/></A>"}, "open A[X=1] | open B[] | close B | close A"},
      {{"<A><B></A>"}, "open A[] | open B[] | close B | close A"},
      {{"<A><A></A>"}, "open A[] | open A[] | close A | unclosed A"},
      // An unmatched closing tag closes everything; what follows starts afresh.
      {{"<A><B></C><D></D>"}, "open A[] | open B[] | close B | close A | open D[] | close D"},
      {{"</X><A/>"}, "open A[] | close A"},
      // What the text leaves open is never closed: a document cut short stays short.
      {{"<A>"}, "open A[] | unclosed A"},
      {{"<A><B></B><C><D/>"}, "open A[] | open B[] | close B | open C[] | open D[] | close D | unclosed C | unclosed A"},
      {{"<A><B x=1"}, "open A[] | unclosed B | unclosed A"},
      {{"<A x=\"1"}, "unclosed A"},
      {{"<A", ""}, ""},  // a name the text may have cut is no element
      {{"<A/"}, "unclosed A"},
      {{"<A></A"}, "open A[] | unclosed A"},
      {{"<A x=\"\\"}, "unclosed A"},
      {{"<A v=\"a\\\"b\">"}, "open A[V=A\"B] | unclosed A"},
      {{"<A v=\"a\\\\b\">"}, "open A[V=A\\B] | unclosed A"},
      {{"<A v=ab\"c d\"ef>"}, "open A[V=ABC DEF] | unclosed A"},
      {{"<A v=1/><B/>"}, "open A[V=1] | close A | open B[] | close B"},
      {{"<A v=\"1\"/>"}, "open A[V=1] | close A"},
      {{"<A/ junk>", "< A />", "</ A >"}, "open A[] | close A | open A[] | close A"},
      {{"<A x = \"1\" y= 2\t>"}, "open A[X=1,Y=2] | unclosed A"},
      // A name with no "=" after it: everything up to the next "=" is skipped.
      {{"<A x ><B>y=1>"}, "open A[X=1] | unclosed A"},
      {{"<A b/> c=1>"}, "open A[B/>=1] | unclosed A"},
      {{"<A x=1 y=2 x=3>"}, "open A[X=1,Y=2,X=3] | unclosed A"},
      {{"<Ab v=b>"}, "open Ab[V=B] | unclosed Ab"},
      {{"<A><B></b><C/>"}, "open A[] | open B[] | close B | close A | open C[] | close C"},
      {{"lead<A> <B>x y</B>\t</A>tail"},
       "text 'lead' | open A[] | text ' ' | open B[] | text 'x y' | close B | text '\t' | close A"},
      {{"a\x1A" "b<A/>c"}, "text 'a\x1A" "b' | open A[] | close A"},
      // Line breaks vanish before parsing.
      {{"<A>", "</A>"}, "open A[] | close A"},
      {{"<A x=1", "y=2>"}, "open A[X=1Y=2] | unclosed A"},
      {{"<A", "x=1>"}, "open Ax=1[] | unclosed Ax=1"},
      {{"<A", " x=1>"}, "open A[X=1] | unclosed A"},
      // A closing tag whose last value runs into ">" is taken as a start tag.
      {{"<A></A x=1>"}, "open A[] | open A[X=1] | unclosed A | unclosed A"},
      {{"<A></A x=1 >"}, "open A[] | close A"},
      {{"<A>x", "<<B>"}, "open A[] | text 'x' | open <B[] | unclosed <B | unclosed A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines.empty() ? std::string() : c.lines[0]);
    EXPECT_EQ(Events(c.lines), c.events);
  }
}

TEST(XmlReader, DeepNestingAndUnassignedEvents) {
  std::vector<std::string> lines(100000, "<K>");
  int opened = 0, closed = 0, unclosed = 0;
  TXMLReader reader;
  reader.OnTagOpen = [&](const TXMLTag&) { ++opened; };
  reader.OnTagClose = [&](const TXMLTag&) { ++closed; };
  reader.OnUnclosed = [&](const TXMLTag&) { ++unclosed; };
  reader.LoadFromStrings(lines);
  EXPECT_EQ(opened, 100000);
  EXPECT_EQ(closed, 0);
  EXPECT_EQ(unclosed, 100000);
  EXPECT_TRUE(reader.IsEmpty());

  TXMLReader silent;
  lines.push_back("</X>x<A b=1/>");
  silent.LoadFromStrings(lines);
  EXPECT_TRUE(silent.IsEmpty());
  EXPECT_EQ(silent.Lines.size(), lines.size());
}

TEST(XmlReader, HandlerExceptionLeavesNothingOpen) {
  TXMLReader reader;
  int closed = 0;
  reader.OnTagOpen = [](const TXMLTag& tag) {
    if (tag.Name == "BAD") throw std::runtime_error("'$X' is not a valid integer value");
  };
  reader.OnTagClose = [&](const TXMLTag&) { ++closed; };
  EXPECT_THROW(reader.LoadFromStrings({"<A x=1><B><BAD y=2><C>"}), std::runtime_error);
  EXPECT_TRUE(reader.IsEmpty());
  EXPECT_EQ(closed, 0);

  reader.OnTagOpen = nullptr;
  reader.OnTagClose = [](const TXMLTag& tag) {
    if (tag.Name == "B") throw std::runtime_error("close");
  };
  EXPECT_THROW(reader.LoadFromStrings({"<A><B><C/></A>"}), std::runtime_error);
  EXPECT_TRUE(reader.IsEmpty());

  reader.OnTagClose = nullptr;
  reader.OnUnclosed = [](const TXMLTag&) { throw std::runtime_error("unclosed"); };
  EXPECT_THROW(reader.LoadFromStrings({"<A><B>"}), std::runtime_error);
  EXPECT_TRUE(reader.IsEmpty());

  // The destructor discards what is open without raising events.
  TXMLReader held;
  held.OnTagClose = [](const TXMLTag&) { throw std::runtime_error("close"); };
  held.Push(std::make_unique<TXMLTag>("A"));
  held.Push(nullptr);
  EXPECT_EQ(held.Top()->Name, "A");
}

TEST(XmlReader, BufferedReader) {
  TBufferedReader source;
  source.Load({"ab", "", "c"});
  EXPECT_EQ(source.Text, "abc");
  std::string read;
  while (!source.Eof) read += source.NextChar();
  EXPECT_EQ(read, "abc\x1A");  // the end marker comes once, with Eof
  EXPECT_EQ(source.NextChar(), TBufferedReader::kEndMarker);
  source.Back();
  EXPECT_EQ(source.NextChar(), 'c');
  EXPECT_FALSE(source.Eof);
  source.Position = 1;
  source.Back();
  EXPECT_EQ(source.Position, 1);
  source.Position = 0;
  EXPECT_EQ(source.NextChar(), TBufferedReader::kEndMarker);
  EXPECT_TRUE(source.Eof);
  source.Load({"", ""});
  EXPECT_TRUE(source.Eof);
  source.Load({"\x1A"});
  EXPECT_EQ(source.NextChar(), '\x1A');
  EXPECT_FALSE(source.Eof);  // a marker byte inside the text is just a character
  std::string blanks;
  for (int ch = 0; ch < 256; ++ch) {
    if (TBufferedReader::IsWhitespace(static_cast<char>(ch))) blanks += static_cast<char>(ch);
  }
  EXPECT_EQ(blanks, "\t\n\r ");
}

TEST(XmlReader, SplitLines) {
  using namespace std::string_view_literals;
  const struct {
    std::string_view text;
    std::vector<std::string> lines;
  } cases[] = {
      {""sv, {}},
      {"a"sv, {"a"}},
      {"a\r\nb\rc\nd"sv, {"a", "b", "c", "d"}},
      {"a\n"sv, {"a"}},
      {"a\n\n"sv, {"a", ""}},
      {"\r\n"sv, {""}},
      {"a\n\rb"sv, {"a", "", "b"}},
      {"a\r\rb"sv, {"a", "", "b"}},
      {"ab\0cd\nef"sv, {"ab"}},
      {"\0a"sv, {}},
      {"\xE4\x1A\t"sv, {"\xE4\x1A\t"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitLines(c.text), c.lines) << c.text;
}

TEST(XmlReader, LoadFromFile) {
  testing::MemoryFileSystem files;
  TXMLReader reader;
  try {
    reader.LoadFromFile("x.vyr2000", files);
    ADD_FAILURE() << "no error";
  } catch (const FileOpenError& e) {
    EXPECT_STREQ(e.what(), "Cannot open file \"x.vyr2000\".");
  }
  ASSERT_EQ(files.reads.size(), 1u);
  EXPECT_FALSE(files.reads[0].openForWriting);

  const std::string text = "<A\r\n x=1>\n</A>";
  files.Put("x.vyr2000", text);
  EventLog events;
  events.Attach(reader);
  reader.LoadFromFile("x.vyr2000", files);
  EXPECT_EQ(JoinedText(text), "<A x=1></A>");
  EXPECT_EQ(SplitLines(text), (std::vector<std::string>{"<A", " x=1>", "</A>"}));
  EXPECT_EQ(events.log, "open A[X=1] | close A");
}

TEST(XmlReader, AFileOverTheLimitIsRefusedNotCut) {
  testing::MemoryFileSystem files;
  TXMLReader reader;
  int opened = 0;
  reader.OnTagOpen = [&](const TXMLTag&) { ++opened; };
  // The element first, then zero bytes up to the size: a NUL ends the text.
  const std::string head = "<A/>";
  std::vector<uint8_t>& big = files.files["big.vyr2000"].bytes;
  big.assign(kMaxMarkupFileBytes, uint8_t{0});
  std::copy(head.begin(), head.end(), big.begin());
  reader.LoadFromFile("big.vyr2000", files);
  EXPECT_EQ(opened, 1);

  big.push_back(0);
  try {
    reader.LoadFromFile("big.vyr2000", files);
    ADD_FAILURE() << "no error";
  } catch (const FileOpenError& e) {
    EXPECT_STREQ(e.what(), "The file is larger than 64 MB: too large for a layout data file.\rbig.vyr2000");
  }
  EXPECT_EQ(opened, 1);
}

TEST(XmlTag, NormalizeToken) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {" abc\t", "ABC"}, {"\"x\"", "X"}, {"\" \"a\" \"", "A"}, {"\"", ""}, {"\"\"", ""},
      {"\x01 q \x7F", "Q \x7F"}, {"\"abc", "\"ABC"}, {" \xA0\xE4z\xA0 ", "\xA0\xE4Z\xA0"},
      {"a\"b\"", "A\"B\""}, {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeToken(c.in), c.out) << c.in;
}

TEST(XmlTag, Attributes) {
  TXMLTag tag("Key");
  tag.AddAttribute(" a ", "\"v\"");
  tag.AddAttribute("b", "\"\"");
  tag.AddAttribute("a", "second");
  tag.AddAttribute("k", "x=y");
  const struct {
    const char* name;
    const char* value;
    const char* def;
    bool has;
  } lookups[] = {
      {"a", "V", "V", true}, {"A", "V", "V", true}, {" a", "", "d", false},
      {"b", "", "d", true},  {"zz", "", "d", false}, {"K", "X=Y", "X=Y", true},
      {"K=X", "", "d", false},
  };
  for (const auto& l : lookups) {
    SCOPED_TRACE(l.name);
    EXPECT_EQ(tag.GetAttribute(l.name), l.value);
    EXPECT_EQ(tag.GetAttributeDef(l.name, "d"), l.def);
    EXPECT_EQ(tag.HasAttribute(l.name), l.has);
  }
  EXPECT_EQ(tag.AttributeName(3), "K");
  EXPECT_EQ(tag.AttributeValue(3), "X=Y");
  EXPECT_EQ(tag.AttributeName(4), "");
  EXPECT_EQ(tag.AttributeValue(-1), "");

  tag.SetAttribute(" a\t", " \"new\" ");  // the first of the two, in place
  tag.SetAttribute("\"b\"", "x");         // quotes are not stripped from the name
  tag.SetAttribute("missing", "x");
  EXPECT_EQ(tag.Attributes, (std::vector<std::string>{"A=NEW", "B=", "A=SECOND", "K=X=Y"}));
}

TEST(XmlTag, Rendering) {
  TXMLTag keys("KEYS");
  EXPECT_EQ(keys.OpenTagText(), "<KEYS >");
  EXPECT_EQ(TXMLTag("LIGATURES").EmptyTagText(), "<LIGATURES />");
  TXMLTag key("Key");
  key.AddAttribute("scan", "1e");
  key.AddAttribute("v", "a\"b");
  EXPECT_EQ(key.AttributesText(), "SCAN=\"1E\" V=\"A\"B\"");
  EXPECT_EQ(key.OpenTagText(), "<Key SCAN=\"1E\" V=\"A\"B\">");
  EXPECT_EQ(key.EmptyTagText(), "<Key SCAN=\"1E\" V=\"A\"B\"/>");
  EXPECT_EQ(key.CloseTagText(), "</Key>");
}

}  // namespace
}  // namespace tastora

#include "datafile/XmlReader.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>

#include "platform/Platform.h"

namespace tastora {
namespace {

enum class ParseState { Text, TagStart, TagName, InTag, EmptyEnd, AttrName, BeforeEquals, BeforeValue, Value };

// Steps the source over the run of characters for which `ordinary` holds,
// appending them to `dst` when given. Each of them would only have been added
// to a buffer one by one, so taking them at once changes nothing but the speed.
template <class Ordinary>
inline void TakeRun(TBufferedReader& source, std::string* dst, Ordinary ordinary) {
  const size_t start = static_cast<size_t>(static_cast<unsigned>(source.Position) - 1u);
  const size_t limit = std::min(source.Text.size(), static_cast<size_t>(INT_MAX) - 1);
  const char* const text = source.Text.data();
  size_t end = start;
  while (end < limit && ordinary(text[end])) ++end;
  if (end == start) return;
  if (dst) dst->append(text + start, end - start);
  source.Position = static_cast<int>(end + 1);
}

// A fresh element, made from a closed one when there is one: saves two
// allocations per element.
std::unique_ptr<TXMLTag> NewTag(std::vector<std::unique_ptr<TXMLTag>>& spare, const std::string& name) {
  if (spare.empty()) return std::make_unique<TXMLTag>(name);
  std::unique_ptr<TXMLTag> tag = std::move(spare.back());
  spare.pop_back();
  tag->Name = name;
  tag->Attributes.clear();
  return tag;
}

constexpr bool IsBlank(char ch) { return ch == '\t' || ch == '\n' || ch == '\r' || ch == ' '; }

// The characters each state only collects (or skips); lambdas so that the
// runs inline them.
constexpr auto IsTextChar = [](char ch) { return ch != '<'; };
constexpr auto IsTagNameChar = [](char ch) { return !IsBlank(ch) && ch != '>' && ch != '/'; };
constexpr auto IsAttrNameChar = [](char ch) { return !IsBlank(ch) && ch != '='; };
constexpr auto IsSkippedChar = [](char ch) { return ch != '='; };
constexpr auto IsQuotedChar = [](char ch) { return ch != '"' && ch != '\\'; };
constexpr auto IsBareValueChar = [](char ch) { return ch != '"' && !IsBlank(ch) && ch != '>' && ch != '/'; };

// What the parser carries from one character to the next.
struct ParseWork {
  std::unique_ptr<TXMLTag> element;             // the tag being read; freed if the input ends inside it
  std::vector<std::unique_ptr<TXMLTag>> spare;  // closed elements, reused for the next tags
  std::string token;                            // element name, attribute name or value being built
  std::string attrName;
  std::string text;
  bool closing = false;
  bool quoted = false;
  ParseState state = ParseState::Text;  // Text: outside a tag
};

// Outside a tag: text, until a tag starts.
inline void TextChar(TXMLReader& reader, TBufferedReader& source, ParseWork& w, char ch) {
  if (ch == '<') {
    if (!w.text.empty()) {
      if (reader.OnText) reader.OnText(w.text);
      w.text.clear();
    }
    w.closing = false;
    w.state = ParseState::TagStart;
  } else {
    w.text += ch;
    TakeRun(source, &w.text, IsTextChar);
  }
}

// The element's name; the element is made once it ends.
inline void TagNameChar(TBufferedReader& source, ParseWork& w, char ch, bool blank) {
  if (blank || ch == '>' || ch == '/') {
    w.element = NewTag(w.spare, w.token);
    if (ch == '/') {
      w.state = ParseState::EmptyEnd;
    } else {
      w.state = ParseState::InTag;
      if (ch == '>') source.Back();
    }
  } else {
    w.token += ch;
    TakeRun(source, &w.token, IsTagNameChar);
  }
}

// After "=": a value starts, quoted or bare.
inline void BeforeValueChar(TBufferedReader& source, ParseWork& w, char ch, bool blank) {
  if (ch == '"') {
    w.quoted = true;
    w.token.clear();
    TakeRun(source, &w.token, IsQuotedChar);
    w.state = ParseState::Value;
  } else if (!blank) {
    w.quoted = false;
    w.token.assign(1, ch);
    TakeRun(source, &w.token, IsBareValueChar);
    w.state = ParseState::Value;
  }
}

// An attribute's value: quotes open and close anywhere in it, and a backslash
// inside them takes the next character as it is.
inline void ValueChar(TXMLReader& reader, TBufferedReader& source, ParseWork& w, char ch, bool blank) {
  if (w.quoted) {
    if (ch == '"') {
      w.quoted = false;
    } else {
      w.token += ch == '\\' ? source.NextChar() : ch;
      TakeRun(source, &w.token, IsQuotedChar);
    }
  } else if (ch == '"') {
    w.quoted = true;
    TakeRun(source, &w.token, IsQuotedChar);
  } else if (blank) {
    w.element->AddAttribute(w.attrName, w.token);
    w.state = ParseState::InTag;
  } else if (ch == '>') {
    w.element->AddAttribute(w.attrName, w.token);
    reader.Push(std::move(w.element));
    w.state = ParseState::Text;
  } else if (ch == '/') {
    w.element->AddAttribute(w.attrName, w.token);
    w.state = ParseState::EmptyEnd;
  } else {
    w.token += ch;
    TakeRun(source, &w.token, IsBareValueChar);
  }
}

}  // namespace

void TBufferedReader::Load(const std::vector<std::string>& lines) {
  size_t total = 0;
  for (const std::string& line : lines) total += line.size();
  Text.clear();
  Text.reserve(total);
  for (const std::string& line : lines) Text += line;
  Position = 1;
  Eof = Text.empty();
}

char TBufferedReader::NextChar() {
  // Position is 32-bit: text beyond its range reads as the end.
  const size_t index = static_cast<size_t>(static_cast<unsigned>(Position) - 1u);  // 0 and below wrap high
  if (index >= Text.size() || index >= static_cast<size_t>(INT_MAX) - 1) {
    Eof = true;
    return kEndMarker;
  }
  Eof = false;
  ++Position;
  return Text[index];
}

void TBufferedReader::Back() {
  if (Position > 1) --Position;
}

bool TBufferedReader::IsWhitespace(char ch) { return IsBlank(ch); }

namespace {

// Calls `line` with each line of `text` (up to a NUL byte), breaks at CR, LF
// or CR LF. The next CR and the next LF are each found with memchr and looked
// for again only once passed, so the text is scanned at memchr's speed.
template <typename LineFn>
void ForEachLine(std::string_view text, LineFn&& line) {
  text = text.substr(0, text.find('\0'));
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  auto next = [end](const char* from, char ch) {
    const void* found = std::memchr(from, ch, static_cast<size_t>(end - from));
    return found ? static_cast<const char*>(found) : end;
  };
  const char* cr = next(begin, '\r');
  const char* lf = next(begin, '\n');
  const char* start = begin;
  while (start < end) {
    const char* brk = std::min(cr, lf);
    line(std::string_view(start, static_cast<size_t>(brk - start)));
    if (brk == end) break;
    start = brk + 1;
    if (brk == cr && start < end && *start == '\n') ++start;
    if (cr < start) cr = next(start, '\r');
    if (lf < start) lf = next(start, '\n');
  }
}

}  // namespace

std::string JoinedText(std::string_view text) {
  std::string joined;
  joined.reserve(text.size());
  ForEachLine(text, [&joined](std::string_view line) { joined += line; });
  return joined;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  lines.reserve(text.size() / 32 + 1);
  ForEachLine(text, [&lines](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

// Events are not raised here: a handler may throw, and a destructor must not.
TXMLReader::~TXMLReader() = default;

void TXMLReader::LoadFromFile(const std::string& fileName, FileSystem& files) {
  // One byte more than the limit tells a file at the limit from a larger one.
  const std::optional<std::vector<uint8_t>> bytes = files.ReadFile(fileName, kMaxMarkupFileBytes + 1, false);
  if (!bytes) throw FileOpenError("Cannot open file \"" + fileName + "\".");
  if (bytes->size() > kMaxMarkupFileBytes)
    throw FileOpenError("The file is larger than " + std::to_string(kMaxMarkupFileBytes >> 20) +
                        " MB: too large for a layout data file.\r" + fileName);
  // The parser sees the lines joined without their breaks; building that text
  // straight from the file spares a string per line.
  Lines.clear();
  TBufferedReader source;
  source.Text = JoinedText(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  source.Position = 1;
  source.Eof = source.Text.empty();
  Parse(source);
}

void TXMLReader::LoadFromStrings(const std::vector<std::string>& lines) {
  Lines = lines;
  Parse();
}

void TXMLReader::Push(std::unique_ptr<TXMLTag> tag) {
  if (!tag) return;
  if (OnTagOpen) OnTagOpen(*tag);
  stack_.push_back(std::move(tag));
}

std::unique_ptr<TXMLTag> TXMLReader::Pop() {
  if (stack_.empty()) return nullptr;
  const TXMLTag* top = stack_.back().get();
  if (OnTagClose) OnTagClose(*top);
  // The element is normally still on top; a handler that pushed or popped on
  // this reader may have moved it or taken it.
  const auto it = std::find_if(stack_.rbegin(), stack_.rend(), [top](const auto& p) { return p.get() == top; });
  if (it == stack_.rend()) return nullptr;
  std::unique_ptr<TXMLTag> tag = std::move(*it);
  stack_.erase(std::next(it).base());
  return tag;
}

void TXMLReader::Clear() {
  while (!stack_.empty()) Pop();
}

void TXMLReader::Parse() {
  TBufferedReader source;
  source.Load(Lines);
  Parse(source);
}

void TXMLReader::Parse(TBufferedReader& source) {
  ParseWork w;
  try {
    while (!source.Eof) {
      const char ch = source.NextChar();
      const bool blank = IsBlank(ch);
      switch (w.state) {
        case ParseState::Text:
          TextChar(*this, source, w, ch);
          break;

        case ParseState::TagStart:
          if (ch == '/') {
            w.closing = true;
          } else if (!blank) {
            w.token.assign(1, ch);
            TakeRun(source, &w.token, IsTagNameChar);
            w.state = ParseState::TagName;
          }
          break;

        case ParseState::TagName:
          TagNameChar(source, w, ch, blank);
          break;

        case ParseState::InTag:
          if (ch == '>') {
            if (w.closing) {
              CloseDownTo(std::move(w.element), w.spare);
            } else {
              Push(std::move(w.element));
            }
            w.state = ParseState::Text;
          } else if (ch == '/') {
            w.state = ParseState::EmptyEnd;
          } else if (!blank) {
            w.token.assign(1, ch);
            TakeRun(source, &w.token, IsAttrNameChar);
            w.state = ParseState::AttrName;
          }
          break;

        case ParseState::EmptyEnd:
          if (ch == '>') {
            Push(std::move(w.element));
            if (std::unique_ptr<TXMLTag> popped = Pop()) w.spare.push_back(std::move(popped));
            w.state = ParseState::Text;
          }
          break;

        case ParseState::AttrName:
          if (blank || ch == '=') {
            w.attrName = w.token;
            // Stepping back would only read the "=" again in BeforeEquals.
            w.state = ch == '=' ? ParseState::BeforeValue : ParseState::BeforeEquals;
          } else {
            w.token += ch;
            TakeRun(source, &w.token, IsAttrNameChar);
          }
          break;

        case ParseState::BeforeEquals:
          if (ch == '=') {
            w.state = ParseState::BeforeValue;
          } else {
            TakeRun(source, nullptr, IsSkippedChar);
          }
          break;

        case ParseState::BeforeValue:
          BeforeValueChar(source, w, ch, blank);
          break;

        case ParseState::Value:
          ValueChar(*this, source, w, ch, blank);
          break;
      }
    }
    // A start tag the text ends inside counts once its name has been read.
    ReportUnclosed(w.closing ? nullptr : w.element.get());
  } catch (...) {
    // A handler gave up: leave no open elements behind, and raise no more events.
    stack_.clear();
    throw;
  }
}

void TXMLReader::CloseDownTo(std::unique_ptr<TXMLTag> closer, std::vector<std::unique_ptr<TXMLTag>>& spare) {
  while (!stack_.empty()) {
    std::unique_ptr<TXMLTag> popped = Pop();
    if (!popped) continue;
    const bool found = popped->Name == closer->Name;
    spare.push_back(std::move(popped));
    if (found) break;
  }
  spare.push_back(std::move(closer));
}

void TXMLReader::ReportUnclosed(const TXMLTag* unfinished) {
  if (unfinished && OnUnclosed) OnUnclosed(*unfinished);
  while (!stack_.empty()) {
    std::unique_ptr<TXMLTag> open = std::move(stack_.back());
    stack_.pop_back();
    if (OnUnclosed) OnUnclosed(*open);
  }
}

}  // namespace tastora

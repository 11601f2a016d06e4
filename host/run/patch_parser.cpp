#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <unordered_map>

#include "host/run/patch.h"
#include "host/text_excerpt.h"

namespace vhost {
namespace {

// Rates a run can keep: its clock counts nanoseconds, and an interval of more
// than 1,000 s between ticks is a run that never ticks.
constexpr double kMaxRate = 1e9;
constexpr double kMinTickRate = 1e-3;

struct CWord {
  std::string mText;
  size_t mEquals = std::string::npos;  // first '=' outside quotes
  bool mQuoted = false;                // held a "quoted" part
};

class CLineParser {
 public:
  CLineParser(const std::string& file, int line) : mFile(file), mLine(line) {}

  [[noreturn]] void Fail(const std::string& problem) const { throw CPatchError(mFile, mLine, problem); }

  // Words of the line, comments dropped, quotes resolved.
  std::vector<CWord> Split(std::string_view text) const {
    std::vector<CWord> words;
    size_t i = 0;
    while (i < text.size()) {
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
      if (i >= text.size() || text[i] == '#') break;
      CWord word;
      while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') {
        if (text[i] == '#') break;
        if (text[i] == '"') {
          word.mQuoted = true;
          ++i;
          bool closed = false;
          while (i < text.size()) {
            if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
              word.mText += text[i + 1];
              i += 2;
            } else if (text[i] == '"') {
              closed = true;
              ++i;
              break;
            } else {
              word.mText += text[i++];
            }
          }
          if (!closed) Fail("unterminated quote");
          continue;
        }
        if (text[i] == '=' && word.mEquals == std::string::npos) word.mEquals = word.mText.size();
        word.mText += text[i++];
      }
      words.push_back(std::move(word));
    }
    return words;
  }

  double Number(const std::string& text, const char* what, bool positive) const {
    double value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(value) ||
        value < 0 || (positive && value == 0)) {
      Fail(fmt::format("bad {} {} (a {} number)", what, QuoteExcerpt(text), positive ? "positive" : "non-negative"));
    }
    return value;
  }

  // A number of events per second, 0 allowed only when `minimum` is 0.
  double Rate(const std::string& text, const char* what, double minimum) const {
    const double value = Number(text, what, minimum > 0);
    if ((value != 0 && value < minimum) || value > kMaxRate) {
      Fail(fmt::format("{} {} is out of range ({:g} to {:g} per second)", what, QuoteExcerpt(text),
                       minimum > 0 ? minimum : 0.0, kMaxRate));
    }
    return value;
  }

  CPatchTarget Target(const std::string& text, bool allowStar) const {
    const size_t dot = text.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == text.size()) {
      Fail(fmt::format("{} is not INSTANCE.PROPERTY", QuoteExcerpt(text)));
    }
    CPatchTarget target{text.substr(0, dot), text.substr(dot + 1), mLine};
    if (target.mProperty == "*" && !allowStar) Fail(fmt::format("{}: '*' is for print only", QuoteExcerpt(text)));
    return target;
  }

 private:
  const std::string& mFile;
  int mLine;
};

bool IsName(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-')) return false;
  }
  return true;
}

}  // namespace

CPatchError::CPatchError(const std::string& file, int line, const std::string& problem)
    : CHostError(line > 0 ? fmt::format("{}:{}: {}", file, line, problem)
                          : fmt::format("{}: {}", file, problem)),
      mLine(line) {}

const CPatchActor* CPatch::FindActor(std::string_view name) const {
  for (const auto& actor : mActors) {
    if (actor.mName == name) return &actor;
  }
  return nullptr;
}

namespace {

// What a keyword's parser is handed: the line, its words and the patch.
struct CStatement {
  const CLineParser& mLine;
  const std::vector<CWord>& mWords;
  CPatch& mPatch;
  int mLineNumber;
  std::map<std::string, int>& mOnce;  // single-valued keywords already given
  std::unordered_map<std::string, int>& mActorLines;  // actor names declared so far, with their lines
  const CPatchKeyword& mKeyword;

  [[noreturn]] void Expected() const { mLine.Fail(fmt::format("expected '{}'", mKeyword.mForm)); }
  // The one argument of a single-valued keyword.
  const std::string& Single() const {
    if (mWords.size() != 2) Expected();
    if (auto [it, fresh] = mOnce.emplace(mKeyword.mName, mLineNumber); !fresh) {
      mLine.Fail(fmt::format("{} was already given on line {}", mKeyword.mName, it->second));
    }
    return mWords[1].mText;
  }
  uint64_t Count(const std::string& n, const char* what) const {
    uint64_t value = 0;
    const auto r = std::from_chars(n.data(), n.data() + n.size(), value);
    if (r.ec != std::errc() || r.ptr != n.data() + n.size() || value == 0) {
      mLine.Fail(fmt::format("bad {} {} (a positive whole number)", what, QuoteExcerpt(n)));
    }
    return value;
  }
};

void ParseActor(const CStatement& s) {
  if (s.mWords.size() < 3) s.Expected();
  CPatchActor actor;
  actor.mName = s.mWords[1].mText;
  actor.mPlugin = s.mWords[2].mText;
  actor.mLine = s.mLineNumber;
  if (!IsName(actor.mName)) {
    s.mLine.Fail(fmt::format("actor name {} may hold only letters, digits, '_' and '-'",
                             QuoteExcerpt(actor.mName)));
  }
  if (auto [it, fresh] = s.mActorLines.emplace(actor.mName, actor.mLine); !fresh) {
    s.mLine.Fail(fmt::format("actor {} was already declared on line {}", QuoteExcerpt(actor.mName), it->second));
  }
  for (size_t i = 3; i < s.mWords.size(); ++i) {
    const CWord& w = s.mWords[i];
    if (w.mEquals == std::string::npos || w.mEquals == 0) {
      s.mLine.Fail(fmt::format("{} is not INPUT=VALUE", QuoteExcerpt(w.mText)));
    }
    actor.mSettings.push_back({w.mText.substr(0, w.mEquals), w.mText.substr(w.mEquals + 1), s.mLineNumber});
  }
  s.mPatch.mActors.push_back(std::move(actor));
}

void ParseWire(const CStatement& s) {
  if (s.mWords.size() != 4 || s.mWords[2].mText != "->") s.Expected();
  s.mPatch.mWires.push_back(
      {s.mLine.Target(s.mWords[1].mText, false), s.mLine.Target(s.mWords[3].mText, false), s.mLineNumber});
}

void ParsePluginDir(const CStatement& s) {
  if (s.mWords.size() != 2) s.Expected();
  s.mPatch.mPluginDirs.push_back(s.mWords[1].mText);
}

void ParseTickRate(const CStatement& s) {
  s.mPatch.mTickRate = s.mLine.Rate(s.Single(), "tick rate", kMinTickRate);
}
void ParseRenderRate(const CStatement& s) { s.mPatch.mRenderRate = s.mLine.Rate(s.Single(), "render rate", 0); }
void ParsePrintRate(const CStatement& s) { s.mPatch.mPrintRate = s.mLine.Rate(s.Single(), "print rate", 0); }
void ParseDuration(const CStatement& s) { s.mPatch.mDuration = s.mLine.Number(s.Single(), "duration", true); }
void ParseTicks(const CStatement& s) { s.mPatch.mTicks = s.Count(s.Single(), "tick count"); }

void ParseTargets(const CStatement& s, std::vector<CPatchTarget>& list, bool allowStar) {
  if (s.mWords.size() < 2) s.Expected();
  for (size_t i = 1; i < s.mWords.size(); ++i) list.push_back(s.mLine.Target(s.mWords[i].mText, allowStar));
}
void ParsePrint(const CStatement& s) { ParseTargets(s, s.mPatch.mPrint, true); }
void ParseFps(const CStatement& s) { ParseTargets(s, s.mPatch.mFps, false); }

void ParseSave(const CStatement& s) {
  if (s.mWords.size() != 3 && s.mWords.size() != 4) s.Expected();
  CPatchSave save{s.mLine.Target(s.mWords[1].mText, false), s.mWords[2].mText, 1, s.mLineNumber};
  if (s.mWords.size() == 4) save.mEvery = s.Count(s.mWords[3].mText, "frame interval");
  s.mPatch.mSaves.push_back(std::move(save));
}

void ParseExpect(const CStatement& s) {
  if (s.mWords.size() != 4) s.Expected();
  CPatchExpect expect;
  expect.mTarget = s.mLine.Target(s.mWords[1].mText, false);
  expect.mOperator = s.mWords[2].mText;
  static const char* const kOperators[] = {"==", "!=", "<", "<=", ">", ">="};
  if (std::find(std::begin(kOperators), std::end(kOperators), expect.mOperator) == std::end(kOperators)) {
    s.mLine.Fail(fmt::format("{} is not one of == != < <= > >=", QuoteExcerpt(expect.mOperator)));
  }
  const CWord& value = s.mWords[3];
  expect.mValue = value.mText;
  expect.mQuoted = value.mQuoted;
  // 'single quotes' too, as outputs print their text.
  if (!value.mQuoted && value.mText.size() >= 2 && value.mText.front() == '\'' && value.mText.back() == '\'') {
    expect.mValue = value.mText.substr(1, value.mText.size() - 2);
    expect.mQuoted = true;
  }
  if (expect.mQuoted && expect.mOperator != "==" && expect.mOperator != "!=") {
    s.mLine.Fail(fmt::format("text compares only with == and !=, not {}", expect.mOperator));
  }
  if (!expect.mQuoted) {
    double number = 0;
    const auto r = std::from_chars(expect.mValue.data(), expect.mValue.data() + expect.mValue.size(), number);
    if (r.ec != std::errc() || r.ptr != expect.mValue.data() + expect.mValue.size()) {
      s.mLine.Fail(fmt::format("{} is neither a number nor 'quoted text'", QuoteExcerpt(expect.mValue)));
    }
  }
  expect.mLine = s.mLineNumber;
  s.mPatch.mExpects.push_back(std::move(expect));
}

struct CKeywordEntry {
  CPatchKeyword mKeyword;
  void (*mParse)(const CStatement&);
};

const std::vector<CKeywordEntry>& KeywordTable() {
  static const std::vector<CKeywordEntry> table = {
      {{"actor", "actor NAME PLUGIN [INPUT=VALUE ...]",
        "an instance of PLUGIN (a .so path, or a file stem or display name found in the plug-in directories)"},
       ParseActor},
      {{"wire", "wire FROM.OUTPUT -> TO.INPUT", "every value sent on the output reaches the input"}, ParseWire},
      {{"plugin_dir", "plugin_dir DIR", "where plug-ins are looked for (relative to the patch file)"}, ParsePluginDir},
      {{"tick_rate", "tick_rate HZ", "service ticks per second (60; 0.001 to 1e9)"}, ParseTickRate},
      {{"render_rate", "render_rate HZ", "render requests per second (0); late ones are dropped and counted"},
       ParseRenderRate},
      {{"duration", "duration SECONDS", "how long to run (until Ctrl-C)"}, ParseDuration},
      {{"ticks", "ticks N", "stop after N ticks"}, ParseTicks},
      {{"print", "print INSTANCE.OUTPUT|INSTANCE.* ...", "outputs to report"}, ParsePrint},
      {{"print_rate", "print_rate HZ", "reports per second (1; 0: after each tick with news)"}, ParsePrintRate},
      {{"fps", "fps INSTANCE.OUTPUT ...", "values per second of those outputs, with each report"}, ParseFps},
      {{"save", "save INSTANCE.OUTPUT DIR [EVERY]",
        "video frames as DIR/INSTANCE_OUTPUT_00001.png, ... (every EVERY-th; needs render_rate)"},
       ParseSave},
      {{"expect", "expect INSTANCE.OUTPUT OP VALUE",
        "checked at the end (OP: == != < <= > >=; a trigger counts its values)"},
       ParseExpect},
  };
  return table;
}

}  // namespace

const std::vector<CPatchKeyword>& PatchKeywords() {
  static const std::vector<CPatchKeyword> keywords = [] {
    std::vector<CPatchKeyword> list;
    for (const auto& entry : KeywordTable()) list.push_back(entry.mKeyword);
    return list;
  }();
  return keywords;
}

std::string PatchKeywordHelp() {
  size_t width = 0;
  for (const auto& k : PatchKeywords()) width = std::max(width, std::string_view(k.mForm).size());
  std::string text;
  for (const auto& k : PatchKeywords()) text += fmt::format("  {:<{}}  {}\n", k.mForm, width, k.mHelp);
  return text;
}

std::string CPatchExpect::Text() const {
  return fmt::format("{} {} {}", mTarget.Text(), mOperator, mQuoted ? "'" + mValue + "'" : mValue);
}

CPatch ParsePatch(std::string_view text, const std::string& fileName) {
  CPatch patch;
  patch.mFile = fileName;
  std::map<std::string, int> settingLines;
  std::unordered_map<std::string, int> actorLines;
  int lineNumber = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    ++lineNumber;
    const CLineParser line(patch.mFile, lineNumber);
    const auto words = line.Split(text.substr(start, end - start));
    start = end + 1;
    if (words.empty()) continue;
    const std::string& keyword = words[0].mText;
    const auto& table = KeywordTable();
    const auto entry = std::find_if(table.begin(), table.end(),
                                    [&](const CKeywordEntry& e) { return keyword == e.mKeyword.mName; });
    if (entry == table.end()) {
      std::string names;
      for (const auto& e : table) names += (names.empty() ? "" : ", ") + std::string(e.mKeyword.mName);
      line.Fail(fmt::format("unknown keyword {} ({})", QuoteExcerpt(keyword), names));
    }
    entry->mParse(CStatement{line, words, patch, lineNumber, settingLines, actorLines, entry->mKeyword});
  }

  auto check = [&](const CPatchTarget& target) {
    if (!actorLines.count(target.mInstance)) {
      throw CPatchError(patch.mFile, target.mLine, fmt::format("no actor named {}", QuoteExcerpt(target.mInstance)));
    }
  };
  for (const auto& wire : patch.mWires) {
    check(wire.mFrom);
    check(wire.mTo);
    if (wire.mFrom.mInstance == wire.mTo.mInstance) {
      throw CPatchError(patch.mFile, wire.mLine, "an actor cannot be wired to itself");
    }
  }
  for (const auto& target : patch.mPrint) check(target);
  for (const auto& target : patch.mFps) check(target);
  for (const auto& expect : patch.mExpects) check(expect.mTarget);
  for (const auto& save : patch.mSaves) {
    check(save.mTarget);
    if (patch.mRenderRate <= 0) {
      throw CPatchError(patch.mFile, save.mLine, "save needs render requests: give a render_rate");
    }
  }
  if (patch.mActors.empty()) throw CPatchError(patch.mFile, 0, "declares no actor");
  return patch;
}

CPatch ReadPatchFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CPatchError(path, 0, "cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return ParsePatch(text.str(), path);
}

}  // namespace vhost

#include <fmt/format.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "host/patch.h"

namespace vhost {
namespace {

struct CWord {
  std::string mText;
  size_t mEquals = std::string::npos;  // first '=' outside quotes
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
      Fail(fmt::format("bad {} '{}' (a {} number)", what, text, positive ? "positive" : "non-negative"));
    }
    return value;
  }

  CPatchTarget Target(const std::string& text, bool allowStar) const {
    const size_t dot = text.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == text.size()) {
      Fail(fmt::format("'{}' is not INSTANCE.PROPERTY", text));
    }
    CPatchTarget target{text.substr(0, dot), text.substr(dot + 1), mLine};
    if (target.mProperty == "*" && !allowStar) Fail(fmt::format("'{}': '*' is for print only", text));
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

CPatch ParsePatch(std::string_view text, const std::string& fileName) {
  CPatch patch;
  patch.mFile = fileName;
  std::map<std::string, int> settingLines;  // single-valued keywords already given
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
    auto once = [&] {
      if (auto [it, fresh] = settingLines.emplace(keyword, lineNumber); !fresh) {
        line.Fail(fmt::format("{} was already given on line {}", keyword, it->second));
      }
    };
    auto single = [&](const char* form) -> const std::string& {
      if (words.size() != 2) line.Fail(fmt::format("expected '{}'", form));
      once();
      return words[1].mText;
    };

    if (keyword == "actor") {
      if (words.size() < 3) line.Fail("expected 'actor NAME PLUGIN [INPUT=VALUE ...]'");
      CPatchActor actor;
      actor.mName = words[1].mText;
      actor.mPlugin = words[2].mText;
      actor.mLine = lineNumber;
      if (!IsName(actor.mName)) {
        line.Fail(fmt::format("actor name '{}' may hold only letters, digits, '_' and '-'", actor.mName));
      }
      if (const CPatchActor* other = patch.FindActor(actor.mName)) {
        line.Fail(fmt::format("actor '{}' was already declared on line {}", actor.mName, other->mLine));
      }
      for (size_t i = 3; i < words.size(); ++i) {
        const CWord& w = words[i];
        if (w.mEquals == std::string::npos || w.mEquals == 0) {
          line.Fail(fmt::format("'{}' is not INPUT=VALUE", w.mText));
        }
        actor.mSettings.push_back({w.mText.substr(0, w.mEquals), w.mText.substr(w.mEquals + 1), lineNumber});
      }
      patch.mActors.push_back(std::move(actor));
    } else if (keyword == "wire") {
      if (words.size() != 4 || words[2].mText != "->") line.Fail("expected 'wire FROM.OUTPUT -> TO.INPUT'");
      patch.mWires.push_back({line.Target(words[1].mText, false), line.Target(words[3].mText, false), lineNumber});
    } else if (keyword == "plugin_dir") {
      if (words.size() != 2) line.Fail("expected 'plugin_dir DIR'");
      patch.mPluginDirs.push_back(words[1].mText);
    } else if (keyword == "tick_rate") {
      patch.mTickRate = line.Number(single("tick_rate HZ"), "tick rate", true);
    } else if (keyword == "render_rate") {
      patch.mRenderRate = line.Number(single("render_rate HZ"), "render rate", false);
    } else if (keyword == "print_rate") {
      patch.mPrintRate = line.Number(single("print_rate HZ"), "print rate", false);
    } else if (keyword == "duration") {
      patch.mDuration = line.Number(single("duration SECONDS"), "duration", true);
    } else if (keyword == "ticks") {
      const std::string& n = single("ticks N");
      uint64_t ticks = 0;
      const auto r = std::from_chars(n.data(), n.data() + n.size(), ticks);
      if (r.ec != std::errc() || r.ptr != n.data() + n.size() || ticks == 0) {
        line.Fail(fmt::format("bad tick count '{}' (a positive whole number)", n));
      }
      patch.mTicks = ticks;
    } else if (keyword == "print" || keyword == "fps") {
      if (words.size() < 2) line.Fail(fmt::format("expected '{} INSTANCE.OUTPUT ...'", keyword));
      auto& list = keyword == "print" ? patch.mPrint : patch.mFps;
      for (size_t i = 1; i < words.size(); ++i) list.push_back(line.Target(words[i].mText, keyword == "print"));
    } else if (keyword == "save") {
      if (words.size() != 3 && words.size() != 4) line.Fail("expected 'save INSTANCE.OUTPUT DIR [EVERY]'");
      CPatchSave save{line.Target(words[1].mText, false), words[2].mText, 1, lineNumber};
      if (words.size() == 4) {
        const std::string& n = words[3].mText;
        const auto r = std::from_chars(n.data(), n.data() + n.size(), save.mEvery);
        if (r.ec != std::errc() || r.ptr != n.data() + n.size() || save.mEvery == 0) {
          line.Fail(fmt::format("bad frame interval '{}' (a positive whole number)", n));
        }
      }
      patch.mSaves.push_back(std::move(save));
    } else {
      line.Fail(fmt::format("unknown keyword '{}' (actor, wire, plugin_dir, tick_rate, render_rate, "
                            "duration, ticks, print, print_rate, fps, save)",
                            keyword));
    }
  }

  auto check = [&](const CPatchTarget& target) {
    if (patch.FindActor(target.mInstance) == nullptr) {
      throw CPatchError(patch.mFile, target.mLine, fmt::format("no actor named '{}'", target.mInstance));
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

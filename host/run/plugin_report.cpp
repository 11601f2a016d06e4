#include "host/run/plugin_report.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "host/four_char_code.h"
#include "host/host.h"

namespace vhost {
namespace {

std::string Code(uint32_t code) {
  return code == 0 ? std::string("none (0x00000000)") : FourCharDescription(code);
}

std::string Limit(const std::optional<double>& limit) {
  return limit ? fmt::format("{}", *limit) : std::string("*");
}

// Help texts separate their lines with CR; indent the continuation lines.
std::string Indented(const std::string& text, const std::string& indent) {
  std::string out;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      out += '\n';
      out += indent;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string DescribePlugin(const CPlugin& plugin) {
  CHost host;
  host.AssertionLog().Switches().mPrintAssertions = false;
  host.Switches().mPrintViolations = false;
  CActorInstance& instance = host.AddInstance(plugin, "inspect");

  std::string out = fmt::format("{}\n", plugin.Path());
  out += fmt::format("  display name  {}\n", plugin.DisplayName());
  out += fmt::format("  class code    {}\n", Code(plugin.ClassCode()));
  out += fmt::format("  second code   {}\n", Code(plugin.SecondCode()));
  out += fmt::format("  actor ID      {}\n", Code(plugin.ActorID()));
  out += fmt::format("  constants     {} (byte 12), {} (byte 16)\n", plugin.Constant12(),
                     plugin.Constant16());
  out += fmt::format("  value hooks   PropertyStringToValue {}\n",
                     plugin.mPropertyStringToValue != nullptr ? "present" : "null");
  for (const auto& warning : plugin.Warnings()) out += fmt::format("  warning       {}\n", warning);
  out += fmt::format("  help          {}\n", Indented(host.HelpText(instance, 0, 0), "                "));

  for (const EPropertyKind kind : {EPropertyKind::kInput, EPropertyKind::kOutput}) {
    const auto properties = kind == EPropertyKind::kInput ? plugin.Inputs() : plugin.Outputs();
    out += fmt::format("  {}s ({})\n", PropertyKindName(kind), properties.size());
    for (const auto& p : properties) {
      const std::string id = p.mCode != 0 ? p.mID : p.mID + " (no code)";
      out += fmt::format("    {:>2}  {:<16} {:<10} {:<10} {:<19} {} .. {}  default {}\n", p.mIndex,
                         p.mName, id, p.mTypeText, p.mDisplay, Limit(p.mMinimum), Limit(p.mMaximum),
                         p.mType == EPropertyType::kString ? fmt::format("'{}'", p.mDefaultText)
                                                          : p.mDefaultText);
      const std::string help = host.HelpText(instance, static_cast<uint8_t>(kind), p.mIndex);
      out += fmt::format("        {}\n", Indented(help, "        "));
    }
  }
  return out;
}

std::string DescribePluginJson(const CPlugin& plugin) {
  nlohmann::json properties = nlohmann::json::array();
  for (const CPropertyDescriptor& p : plugin.Properties()) {
    nlohmann::json entry = {{"kind", std::string(PropertyKindName(p.mKind))},
                            {"index", p.mIndex},
                            {"name", p.mName},
                            {"id", p.mID},
                            {"type", p.mTypeText},
                            {"display", p.mDisplay},
                            {"default", p.mDefaultText}};
    entry["minimum"] = p.mMinimum ? nlohmann::json(*p.mMinimum) : nlohmann::json(nullptr);
    entry["maximum"] = p.mMaximum ? nlohmann::json(*p.mMaximum) : nlohmann::json(nullptr);
    properties.push_back(std::move(entry));
  }
  const nlohmann::json object = {{"file", plugin.Path()},
                                 {"display_name", plugin.DisplayName()},
                                 {"class_code", plugin.ClassCode()},
                                 {"actor_id", plugin.ActorID()},
                                 {"warnings", plugin.Warnings()},
                                 {"properties", properties}};
  return object.dump();
}

}  // namespace vhost

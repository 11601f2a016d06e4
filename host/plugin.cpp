#include "host/plugin.h"

#include <fmt/format.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <variant>

#include "host/host_error.h"
#include "host/plugin_library.h"
#include "host/property_definition_parser.h"
#include "host/service_table.h"

namespace vhost {
namespace {

struct CRequiredSlot {
  size_t mOffset;
  const char* mName;
};

constexpr CRequiredSlot kRequiredSlots[] = {
    {layout::kGetParameterString, "GetParameterString"},
    {layout::kGetHelpString, "GetHelpString"},
    {layout::kCreateActor, "CreateActor"},
    {layout::kDisposeActor, "DisposeActor"},
    {layout::kActivateActor, "ActivateActor"},
    {layout::kHandlePropertyChangeValue, "HandlePropertyChangeValue"},
    {layout::kPropertyValueToString, "PropertyValueToString"},
    {layout::kGetActorDefinedArea, "GetActorDefinedArea"},
    {layout::kDrawActorDefinedArea, "DrawActorDefinedArea"},
};

constexpr CRequiredSlot kNullSlots[] = {
    {layout::kNullSlot680, "slot 680"},
    {layout::kNullSlot688, "slot 688"},
    {layout::kNullSlot736, "slot 736"},
};

template <class Fn>
Fn SlotAt(const unsigned char* record, size_t offset) {
  return reinterpret_cast<Fn>(layout::ReadAt<void*>(record, offset));
}

// Loaded (or refused) files by canonical path. Entries are never removed.
struct CLoadedFiles {
  std::mutex mMutex;
  std::map<std::string, std::variant<std::unique_ptr<CPlugin>, std::string>> mFiles;
};

CLoadedFiles& LoadedFiles() {
  static auto* files = new CLoadedFiles;  // outlives every static destructor on purpose
  return *files;
}

}  // namespace

uint32_t CPlugin::ClassCode() const { return layout::ReadAt<uint32_t>(Registration(), layout::kClassCode); }
uint32_t CPlugin::SecondCode() const { return layout::ReadAt<uint32_t>(Registration(), layout::kSecondCode); }
uint32_t CPlugin::ActorID() const { return layout::ReadAt<uint32_t>(Registration(), layout::kActorID); }
uint32_t CPlugin::Constant12() const { return layout::ReadAt<uint32_t>(Registration(), layout::kConstant256); }
uint32_t CPlugin::Constant16() const { return layout::ReadAt<uint32_t>(Registration(), layout::kConstant128); }

std::vector<CPropertyDescriptor> CPlugin::Inputs() const {
  std::vector<CPropertyDescriptor> inputs;
  for (const auto& p : mProperties) {
    if (p.mKind == EPropertyKind::kInput) inputs.push_back(p);
  }
  return inputs;
}

std::vector<CPropertyDescriptor> CPlugin::Outputs() const {
  std::vector<CPropertyDescriptor> outputs;
  for (const auto& p : mProperties) {
    if (p.mKind == EPropertyKind::kOutput) outputs.push_back(p);
  }
  return outputs;
}

CPlugin::CPlugin() = default;
CPlugin::~CPlugin() = default;

namespace {

// The canonical spelling of `path`, or a CHostError when there is no file.
std::string PluginKey(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::exists(path, ec)) throw CHostError(fmt::format("{}: no such file", path));
  const std::string canonical = fs::canonical(path, ec).string();
  return ec ? path : canonical;
}

}  // namespace

// Loads and checks the file `key` (canonical) names; throws CHostError naming
// `path` as the caller spelt it.
std::unique_ptr<CPlugin> OpenPlugin(const std::string& path, const std::string& key) {
  namespace fs = std::filesystem;
  std::error_code ec;
  auto refuse = [&](const std::string& reason) -> std::unique_ptr<CPlugin> {
    throw CHostError(fmt::format("{}: {}", path, reason));
  };

  if (!fs::is_regular_file(key, ec)) return refuse("not a regular file");
  // Absolute so that the loader never searches the library path for it.
  const std::string absolute = fs::absolute(key, ec).string();
  std::string why;
  std::unique_ptr<CPluginLibrary> library = CPluginLibrary::Open(absolute, why);
  if (library == nullptr) return refuse(fmt::format("not a loadable shared library ({})", why));
  void* symbol = library->Symbol("GetActorInfo");
  if (symbol == nullptr) return refuse("does not export GetActorInfo");

  std::unique_ptr<CPlugin> plugin(new CPlugin);
  plugin->mLibrary = std::move(library);
  plugin->mPath = absolute;
  auto getActorInfo = reinterpret_cast<GetActorInfoFn>(symbol);
  getActorInfo(nullptr, reinterpret_cast<ActorInfo*>(plugin->mRegistration.data()));
  const unsigned char* record = plugin->mRegistration.data();

  for (const auto& slot : kRequiredSlots) {
    if (layout::ReadAt<void*>(record, slot.mOffset) == nullptr) {
      return refuse(fmt::format("GetActorInfo left {} (slot {}) null", slot.mName, slot.mOffset));
    }
  }
  for (const auto& slot : kNullSlots) {
    if (layout::ReadAt<void*>(record, slot.mOffset) != nullptr) {
      plugin->mWarnings.push_back(fmt::format("{} is not null", slot.mName));
    }
  }
  const char* name = layout::ReadAt<const char*>(record, layout::kDisplayName);
  if (name == nullptr) return refuse("GetActorInfo left the display name (byte 24) null");
  plugin->mDisplayName = name;

  plugin->mGetParameterString = SlotAt<GetParameterStringFn>(record, layout::kGetParameterString);
  plugin->mGetHelpString = SlotAt<GetHelpStringFn>(record, layout::kGetHelpString);
  plugin->mCreateActor = SlotAt<CreateActorFn>(record, layout::kCreateActor);
  plugin->mDisposeActor = SlotAt<DisposeActorFn>(record, layout::kDisposeActor);
  plugin->mActivateActor = SlotAt<ActivateActorFn>(record, layout::kActivateActor);
  plugin->mHandlePropertyChangeValue =
      SlotAt<HandlePropertyChangeValueFn>(record, layout::kHandlePropertyChangeValue);
  plugin->mPropertyValueToString =
      SlotAt<PropertyValueToStringFn>(record, layout::kPropertyValueToString);
  plugin->mPropertyStringToValue =
      SlotAt<PropertyStringToValueFn>(record, layout::kPropertyStringToValue);
  plugin->mGetActorDefinedArea = SlotAt<GetActorDefinedAreaFn>(record, layout::kGetActorDefinedArea);
  plugin->mDrawActorDefinedArea =
      SlotAt<DrawActorDefinedAreaFn>(record, layout::kDrawActorDefinedArea);

  // The definition string is static text; asking with the registration
  // record (no instance, no host driving) is enough.
  alignas(16) std::array<unsigned char, layout::kActorInfoSize> info = plugin->mRegistration;
  const char* definitions = plugin->mGetParameterString(LoaderParameters(),
                                                        reinterpret_cast<ActorInfo*>(info.data()));
  if (definitions == nullptr) return refuse("GetParameterString returned null");
  plugin->mParameterString = definitions;
  try {
    plugin->mProperties = ParsePropertyDefinitions(plugin->mParameterString);
  } catch (const CPropertyDefinitionError& e) {
    return refuse(fmt::format("property definitions: {}", e.what()));
  }
  return plugin;
}

const CPlugin& LoadPlugin(const std::string& path) {
  const std::string key = PluginKey(path);
  auto& files = LoadedFiles();
  std::lock_guard lock(files.mMutex);
  if (auto it = files.mFiles.find(key); it != files.mFiles.end()) {
    if (auto* error = std::get_if<std::string>(&it->second)) throw CHostError(*error);
    return *std::get<std::unique_ptr<CPlugin>>(it->second);
  }
  std::unique_ptr<CPlugin> plugin;
  try {
    plugin = OpenPlugin(path, key);
  } catch (const CHostError& e) {
    files.mFiles.emplace(key, std::string(e.what()));
    throw;
  }
  const CPlugin& result = *plugin;
  files.mFiles.emplace(key, std::move(plugin));
  return result;
}

std::unique_ptr<CPlugin> LoadPluginUnshared(const std::string& path) {
  return OpenPlugin(path, PluginKey(path));
}

}  // namespace vhost

// A loaded plug-in file: its registration record, entry points and parsed
// property declarations.
//
// LoadPlugin opens a file through CPluginLibrary (immediate binding), calls
// its GetActorInfo once with a zeroed 744-byte record, checks that every entry
// point each actor writes is there (PropertyStringToValue may be null), and
// parses the property definition string. A file is loaded once per process,
// whatever path spelling names it, and never unloaded, so a plug-in that
// leaves work running after its last instance went cannot hurt the host. A
// refused file is remembered too, so GetActorInfo never runs twice.
// LoadPluginUnshared gives a load of its own that ends with its CPlugin.
//
// Thread-safety: both may be called from any thread; a CPlugin is immutable
// once returned. One from LoadPlugin lives until the process ends.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/plugin_abi.h"
#include "host/property_descriptor.h"
#include "host/record_layout.h"

namespace vhost {

class CPluginLibrary;

class CPlugin {
 public:
  CPlugin(const CPlugin&) = delete;
  CPlugin& operator=(const CPlugin&) = delete;
  ~CPlugin();  // unloads the file when this load was the last holder of it

  const std::string& Path() const { return mPath; }  // as first loaded, made absolute
  const std::string& DisplayName() const { return mDisplayName; }
  uint32_t ClassCode() const;
  uint32_t SecondCode() const;
  uint32_t ActorID() const;
  uint32_t Constant12() const;  // 256 for every actor of ours
  uint32_t Constant16() const;  // 128 for every actor of ours
  // The registration record as GetActorInfo left it.
  const unsigned char* Registration() const { return mRegistration.data(); }

  const std::string& ParameterString() const { return mParameterString; }
  const std::vector<CPropertyDescriptor>& Properties() const { return mProperties; }
  std::vector<CPropertyDescriptor> Inputs() const;
  std::vector<CPropertyDescriptor> Outputs() const;
  // Things the host accepts but a careful author would fix (slots the
  // contract wants null that are not).
  const std::vector<std::string>& Warnings() const { return mWarnings; }

  // Entry points (PropertyStringToValue may be null).
  GetParameterStringFn mGetParameterString = nullptr;
  GetHelpStringFn mGetHelpString = nullptr;
  CreateActorFn mCreateActor = nullptr;
  DisposeActorFn mDisposeActor = nullptr;
  ActivateActorFn mActivateActor = nullptr;
  HandlePropertyChangeValueFn mHandlePropertyChangeValue = nullptr;
  PropertyValueToStringFn mPropertyValueToString = nullptr;
  PropertyStringToValueFn mPropertyStringToValue = nullptr;
  GetActorDefinedAreaFn mGetActorDefinedArea = nullptr;
  DrawActorDefinedAreaFn mDrawActorDefinedArea = nullptr;

 private:
  friend std::unique_ptr<CPlugin> OpenPlugin(const std::string& path, const std::string& key);
  CPlugin();

  std::unique_ptr<CPluginLibrary> mLibrary;  // first member: unloaded after everything else
  std::string mPath;
  std::string mDisplayName;
  alignas(16) std::array<unsigned char, layout::kActorInfoSize> mRegistration{};
  std::string mParameterString;
  std::vector<CPropertyDescriptor> mProperties;
  std::vector<std::string> mWarnings;
};

// The plug-in in `path`, loaded on first use. Throws CHostError with a
// one-line reason when the file is missing, not a shared library, has no
// GetActorInfo, leaves a required entry point null (naming the slot) or
// declares its properties wrongly (naming the line).
const CPlugin& LoadPlugin(const std::string& path);

// A load of its own, outside the process-wide cache: GetActorInfo is called on
// it, the record checked as LoadPlugin does; destroying the returned CPlugin
// unloads the file. Throws CHostError as LoadPlugin does.
std::unique_ptr<CPlugin> LoadPluginUnshared(const std::string& path);

}  // namespace vhost

#pragma once

namespace tal {

// The product's identity names. They name the application-data folders and scopes (global and
// group scope: vendor and category; local scope: all three) and the application title. Fixed for
// ever: hosts and users' settings folders depend on them.
inline constexpr const char kVendorName[] = "Talmero";
inline constexpr const char kCategoryName[] = "Audio Plug-Ins";
inline constexpr const char kProductName[] = "Delmaro";
inline constexpr const char kFormatName[] = "VST3";
// Vendor, product and format, each followed by one blank: "Talmero Delmaro VST3 ".
inline constexpr const char kApplicationTitle[] = "Talmero Delmaro VST3 ";

// The build-information text, key=value pairs separated by ';' (see CBuildInfo).
inline constexpr const char kBuildInfoText[] =
    "_build-arch-list=x86_64;_build-plat=linux-x86_64-gcc;_bundle-id=com.talmero.vst3.Delmaro;"
    "_is-release-version=true;_plugin-format=VST3";

} // namespace tal

#pragma once
#include "params/ProductFacts/ProductIdentity.h"

// The vendor's addresses, shared by the plug-in factory, the update check and
// the editor's links.
namespace VendorInfo
{
inline constexpr const char* kVendorName = ProductIdentity::kVendorName;
inline constexpr const char* kVendorHost = "www.tolmarmusic.com";
// The pages open in the browser at their plain addresses, as they always have.
inline constexpr const char* kVendorStartPage = "http://www.tolmarmusic.com/music/";
inline constexpr const char* kVendorDownloadPage = "http://www.tolmarmusic.com/music/vst.html";
inline constexpr const char* kVendorVersionQuery = "https://www.tolmarmusic.com/music/version/?file=tolmardelay";
inline constexpr const char* kVendorEmail = "support@tolmarmusic.com";
// Hosts show the factory's address as plain text; it keeps the http scheme
// that earlier releases registered.
inline constexpr const char* kFactoryURL = "http://www.tolmarmusic.com/music/";
} // namespace VendorInfo

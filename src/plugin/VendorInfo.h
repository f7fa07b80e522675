#pragma once

// The vendor's addresses: one place for the factory information, the online
// menu and the update check.
inline constexpr const char* kVendorName = "Tolmar Music";
inline constexpr const char* kVendorHost = "www.tolmarmusic.com";
inline constexpr const char* kVendorStartPage = "http://www.tolmarmusic.com/music/";
inline constexpr const char* kVendorDownloadPage = "http://www.tolmarmusic.com/music/vst.html";
inline constexpr const char* kVendorVersionQuery = "https://www.tolmarmusic.com/music/version/?file=tolmardelay";
inline constexpr const char* kVendorEmail = "support@tolmarmusic.com";

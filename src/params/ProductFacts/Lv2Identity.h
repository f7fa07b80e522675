#pragma once

// The plug-in's identity for LV2 hosts, under the vendor's address
// (VendorInfo::kVendorStartPage). Saved sessions refer to it, and the LV2
// binding names its presets and the messages between plug-in and editor
// beneath it; it never changes. A macro, so that those names are spelt
// from it at compile time.
#define TOLMAR_LV2_URI "http://www.tolmarmusic.com/music/lv2/tolmar-charge-chain-delay"

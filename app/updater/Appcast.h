#pragma once

// The update feed: an RSS document in Sparkle's form. Of its items, the one
// with the highest version that is meant for this system is the offer.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nerolin {

struct AppcastItem {
    std::string version;         // sparkle:version, else sparkle:shortVersionString
    std::string displayVersion;  // sparkle:shortVersionString, else version
    std::string title;
    std::string releaseNotesUrl;  // sparkle:releaseNotesLink, else the item's link
    std::string enclosureUrl;
    std::uint64_t enclosureLength = 0;  // 0 when the feed gives none
    std::string edSignature;            // Base64 Ed25519 signature of the enclosure
};

struct Appcast {
    // The newest item with an enclosure and a version whose sparkle:os is
    // absent or the system's ("linux", "windows"); none when the feed offers
    // nothing for that system.
    std::optional<AppcastItem> newest;
};

// The feed as the given system reads it (kUpdateSystem of
// PackageInstaller.h for this one); nullopt when the document is no
// well-formed RSS feed. Never throws; a hostile document only gives nullopt.
std::optional<Appcast> ReadAppcast(const std::string& xml, std::string_view system);

// Compares two version texts the way Sparkle does: runs of digits compare
// as numbers, other runs as text, "." separates; a missing part counts as
// older than a number ("1.0" < "1.0.1") and newer than a text suffix
// ("1.0b1" < "1.0"). Negative, 0 or positive like strcmp.
int CompareVersions(const std::string& a, const std::string& b);

}  // namespace nerolin

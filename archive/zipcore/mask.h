// File masks of both engines: wildcard matching of member names and the pack-side mask clean-up.
//
// "*" matches any run of characters ("/" included, so "*.db" reaches into subfolders), "?" any one
// character, and a class any one character from a list and ranges such as "a-j", negated when it
// opens with "!" or "^". Classes sit between "[" and "]", or between "<" and ">" when angle classes
// are asked for (then "[" and "]" are plain characters). A backslash makes the next character
// literal. A "[" (or "<") without its closing bracket is a plain character.
#pragma once

#include <string>
#include <string_view>

namespace pavo::zip {

struct MaskOptions {
    bool angle_classes = false;     // -Gw: <...> instead of [...]
    bool case_insensitive = false;  // -C (ASCII letters only)
};

// Whether name matches the whole of mask. Never fails; cost is bounded by mask length x name
// length.
bool mask_matches(std::string_view mask, std::string_view name, const MaskOptions& opts);

// Brings a packing mask into the form of stored names: every "\" becomes "/", then a leading drive
// letter and colon, any leading "/" and any leading "./" are dropped (so ".\x" and "c:\x" mean
// "x").
std::string normalize_pack_mask(std::string_view mask);

}  // namespace pavo::zip

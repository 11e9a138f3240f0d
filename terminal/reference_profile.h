// The reference machine's profile, built into halcyra-setup from
// profiles/reference.toml when the program is built.
#pragma once

namespace term {

extern const char* const kReferenceProfile;
extern const char* const kReferenceProfileName;

}  // namespace term

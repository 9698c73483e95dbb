#pragma once
// Keeps database passwords out of every text a person or a log can see.
#include <string>
#include <string_view>
#include <vector>

namespace imgdl::ledger {

// The URI with the password of its user part and the value of any "password" parameter
// replaced by "***". When in doubt it hides more (everything after the user name up to the
// last '@' before the parameters). Texts that are not URIs are returned unchanged.
std::string RedactUri(std::string_view uri);

// The passwords a URI carries, as written and percent-decoded.
std::vector<std::string> UriPasswords(std::string_view uri);

// `text` with every occurrence of each of `secrets` replaced by "***": for messages from
// libraries that might echo what they were given.
std::string Scrub(std::string text, const std::vector<std::string>& secrets);

}  // namespace imgdl::ledger

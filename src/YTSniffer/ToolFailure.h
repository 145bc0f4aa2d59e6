#pragma once

#include <QString>

// What the site-download tool's error output says of why a page or a download failed, where it is something the
// user can act on.
namespace ToolFailure {

enum class Kind {
    Other,
    // The site wants the user signed in (private, members-only or age-checked pages).
    LoginNeeded,
    // The server answered 403 Forbidden.
    Refused
};

Kind of(const QString &errorOutput);

} // namespace ToolFailure

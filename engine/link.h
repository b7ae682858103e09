#pragma once
// A link that opens an experiment: the query of the page's address, the same
// for the desktop's --link, lodrix-replay's "open" and the page at load.
//
//   lodrix.html?lesson=5&corrector=PC&gain=6.8&period=0.05&step=300&speed=20&lang=en&start=1
//
// Its fields, each at most once, in any order:
//   lesson     0 to 5, the menu's entry
//   mode       0 « En continu », 1 « Pas à pas »
//   corrector, gain, period, step, input, load, loadfrom
//              the free-setting entry's settings, as settings/settings.h
//              names, reads and writes them: corrector=PC, gain=6.8...
//   speed      the scroll bar's position, 10 to 100 (ms between two frames)
//   lang       fr or en
//   start      1 starts the lesson (the button that starts it), 0 does not
// Values are percent-encoded as in any address ('+' is a blank); numbers are
// written with a point, as in any address, whatever the language.
//
// A link is read whole before anything of it is applied: an unknown field, a
// field given twice, a bad or empty value, a bad escape, refuse it all, with
// a message naming what is wrong.

#include "engine/controller.h"
#include "lang/catalogue.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace lodrix {

// What a link asks; a field it does not give is left as it is.
struct Link {
    std::optional<int> lesson;
    std::optional<int> mode;
    // The free-setting entry's settings it gives, each by its name, its
    // value written as the settings' rows write it ("period=0.050" is "0.05").
    std::map<std::string, std::string, std::less<>> settings;
    std::optional<int> speed;
    std::optional<Language> language;
    bool start = false;
    bool operator==(const Link &) const = default;
};

struct LinkReading {
    Link link;
    // Why the link is refused, in the language of the messages; then nothing
    // of it may be applied.
    std::optional<std::string> error;
};

// Reads a link: an address with its query ("lodrix.html?lesson=2"), or the
// query alone, with or without its '?'; a "#..." ending is no part of it.
// Its refusal is in the language the link names, else in `fallback`.
LinkReading readLink(std::string_view address, const Language &fallback = Language());

// One field given by itself (a command-line option): its value read into
// link, or what the value must be.
std::optional<std::string> readLinkField(std::string_view name, std::string_view value, Link &link,
                                         const Language &messages = Language());

// Applies what a link read without error asks, through the controller's own
// calls, as a person would set it: the language, the free-setting entry's
// settings, the speed, the mode, the lesson, then the start.
void applyLink(Controller &controller, const Link &link);

// The query that opens what the controller shows, without its '?': the
// chosen lesson and mode, the free-setting entry's settings when that entry
// is chosen or they are not the first ones, the speed when it is not the
// first one, and the language.
std::string linkQuery(const Controller &controller);

} // namespace lodrix

#pragma once
// The state of a lesson as one line of JSON: the counters, the model values,
// the timer interval and every control's visibility, as the developer tools
// and the web page's automation hook print it.

#include "engine/controller.h"

#include <string>

namespace lodrix {

std::string stateJson(const Controller &controller);

// A control the handlers switch, by the form's name for it: "Button1".
const char *controlName(Control c);

} // namespace lodrix

#pragma once
// What the command line shows of a client after a check: the panel's
// texts for people, and one JSON object keyed by element name for scripts.
// Texts that came from the service are escaped for the terminal.

#include <nlohmann/json.hpp>
#include <string>

#include "client/client.h"
#include "container/error.h"
#include "container/system_time.h"

namespace borvane::app {

nlohmann::json ClientJson(const client& c);
nlohmann::json RecordJson(const SystemTime& record);
std::string ClientText(const client& c);
// Every text the panel shows, top to bottom (the banner, both rows, the
// check boxes, the status line and the version).
std::string PanelText(const client& c);

// One line for an error the check raised: its kind, number and message,
// with whatever it quotes from outside escaped for the terminal.
std::string DescribeError(const Error& error);

// The object as one line of JSON and a newline; malformed UTF-8 from
// outside becomes U+FFFD instead of ending the program.
std::string JsonLine(const nlohmann::json& object);

}  // namespace borvane::app

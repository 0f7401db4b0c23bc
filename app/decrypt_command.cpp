// `borvane decrypt`: runs the answer decoder on a text, as the time check does.

#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/client_report.h"
#include "app/commands.h"
#include "client/decrypt.h"
#include "container/utf8.h"

namespace borvane::app {

void AddDecryptCommand(CLI::App& app, int& status) {
  struct Options {
    std::string text;
    std::string key;
    bool key_given = false;
    bool json = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "decrypt", "Decode an encoded service time and print the result and the derived shift");
  command->add_option("TEXT", options->text, "the encoded text")->required();
  command->add_option("--key", options->key, "the key (default: the time check's key 53190427)");
  command->add_flag("--json", options->json, R"(print {"result": ..., "shift": ...})");
  command->callback([options, command, &status] {
    Variant texti(options->text);
    Variant salasana = command->count("--key") ? Variant(options->key) : Variant(kDecoderKey);
    const std::string result = DeCrypt(texti, salasana);
    const std::string shift = salasana.ToText();
    // The result may hold any character, NUL and escape sequences included:
    // printed escaped, so all of it shows and none of it acts on the terminal.
    const std::string line =
        options->json ? JsonLine({{"result", result}, {"shift", shift}})
                      : "result: " + EscapeControls(result) + "\nshift: " + shift + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    status = 0;
  });
}

}  // namespace borvane::app

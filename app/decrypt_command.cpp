// `borvane decrypt`: runs the answer decoder on a text, as the time check does.

#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/commands.h"
#include "client/decrypt.h"

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
    if (options->json) {
      const nlohmann::json out = {{"result", result}, {"shift", shift}};
      std::printf("%s\n", out.dump().c_str());
    } else {
      std::printf("result: %s\nshift: %s\n", result.c_str(), shift.c_str());
    }
    status = 0;
  });
}

}  // namespace borvane::app

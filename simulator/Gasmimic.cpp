// Gasmimic's program start: the toolkit, the one window, the message loop. The
// command line (GasmimicOptions.h) is ours, for scripts; a user needs none.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/application.h"
#include "simulator/GasmimicDriver.h"
#include "simulator/GasmimicOptions.h"
#include "simulator/Unit1.h"

int main(int argc, char** argv) {
  platform::qt::TApplication application(argc, argv);
  // Qt has taken its own arguments (-platform and the like) out of argv.
  std::vector<std::string> args(argv + 1, argv + argc);
  const TParsedOptions parsed = ParseGasmimicOptions(args);
  if (!parsed.error.empty()) {
    std::cerr << "gasmimic: " << parsed.error << "\n" << GasmimicUsage();
    return 2;
  }

  TForm1 form;
  form.show();
  TGasmimicDriver driver(
      form, parsed.options, [](int code) { QCoreApplication::exit(code); }, std::cout, std::cerr);
  if (const std::optional<int> code = driver.Apply()) return *code;
  return application.Run();
}

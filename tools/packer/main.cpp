// harnex-pack: writes a bootstrapper from the built stub, payload items and build settings.
#include <iostream>
#include <string>
#include <vector>

#include "tools/packer/pack.h"
#include "tools/packer/text_convert.h"

#ifdef _WIN32
// The Windows program takes its arguments as UTF-16, so names outside the ANSI code page survive.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int k = 1; k < argc; ++k) {
    std::string utf8;
    const std::wstring wide(argv[k]);
    if (!harnex::packer::Utf16ToUtf8(std::u16string(wide.begin(), wide.end()), &utf8)) {
      std::cerr << "harnex-pack: argument " << k << " is not valid UTF-16\n";
      return 2;
    }
    args.push_back(utf8);
  }
  return harnex::packer::RunPackCommand(args, std::cout, std::cerr);
}
#else
int main(int argc, char** argv) {
  return harnex::packer::RunPackCommand(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
#endif

#include "app/cli/Commands.h"

namespace tastora {
namespace {

// The options several commands share, worded once.
constexpr CommandOption kRoot{.longName = "root", .valueName = "DIR",
                           .help = "the Windows root folder to work on (default: the one in the user's data folder, "
                                   "made on first use)",
                           .hostOnly = true, .completion = Completion::Directory};
constexpr CommandOption kYes{.longName = "yes", .help = "answer Yes to every question"};
constexpr CommandOption kNo{.longName = "no", .help = "answer No to every question"};
constexpr CommandOption kWait{.longName = "wait", .valueName = "SECONDS",
                           .help = "how long to wait for another program changing the system before giving up "
                                   "(fractions allowed, at most a day)"};

constexpr Completion kFile = Completion::File;

constexpr CommandDefinition kCommands[] = {
    {.name = "build", .summary = "write a data file as layout libraries",
     .positionals = {Arg("DATAFILE", kFile)},
     .options = {{{.longName = "output", .shortName = 'o', .valueName = "OUT32.dll",
                   .help = "the 32-bit library (required)", .completion = kFile},
                  {.longName = "x64", .valueName = "OUT64.dll", .help = "also the x64 library", .completion = kFile},
                  {.longName = "arm64", .valueName = "OUTARM64.dll", .help = "also the ARM64 library",
                   .completion = kFile},
                  {.longName = "native32", .valueName = "OUT.dll",
                   .help = "also the library of a Windows that is 32-bit throughout", .completion = kFile},
                  {.longName = "yes", .help = "build what a .klc file holds even where the layout cannot carry all of it"}}},
     .run = RunBuild,
     .details = "DATAFILE is a layout data file (.vyr2000) or a .klc file."},
    {.name = "create", .summary = "make a layout from a template and install a data file onto it",
     .positionals = {Arg("TEMPLATE"), Arg("FILE", kFile), OptionalArg("LANG"), OptionalArg("NAME")},
     .options = {kRoot, kYes, kNo, kWait}, .run = RunCreate,
     .details = "TEMPLATE is the catalogue position (see tastora list) of the layout to copy, LANG the language "
                "(hexadecimal, e.g. 0407) and NAME the name of the new layout. LANG and NAME may be left out for "
                "a .klc FILE, which gives them.",
     .synopsis = "TEMPLATE FILE [LANG NAME]"},
    {.name = "export", .summary = "write a layout as an editable markup data file or a .klc file",
     .positionals = {OptionalArg("FILE", kFile)},
     .options = {{{.longName = "us", .help = "the built-in US layout instead of a FILE"},
                  {.longName = "output", .shortName = 'o', .valueName = "OUT",
                   .help = "the file to write (default: the standard output); a name ending in .klc gets a .klc "
                           "file, any other a layout data file",
                   .completion = kFile},
                  {.longName = "yes", .help = "write what a .klc file can hold of the layout without asking"}}},
     .run = RunExport,
     .details = "FILE is a layout library (.dll), an older-family layout file (.kbd), a layout data file "
                "(.vyr2000) or a .klc file; give FILE or --us."},
    {.name = "help", .summary = "show the help of the program or of a command",
     .positionals = {OptionalArg("COMMAND", Completion::Command)}, .run = RunHelp},
    {.name = "init", .summary = "make a Windows root folder with a few layouts",
     .options = {kRoot,
                 {.longName = "windows", .valueName = "VERSION", .help = "the Windows the root is like (default 10)",
                  .choices = "11|11-arm64|10|8.1|xp|98|95"},
                 kWait},
     .run = RunInit, .hostOnly = true},
    {.name = "install", .summary = "install a data file over a catalogue entry",
     .positionals = {Arg("POS"), Arg("FILE", kFile)}, .options = {kRoot, kYes, kNo, kWait}, .run = RunInstall,
     .details = "POS is the layout's position in the catalogue (see tastora list)."},
    {.name = "keys", .summary = "print the key table with the US layout's characters", .run = RunKeys},
    {.name = "list", .summary = "print the layout catalogue",
     .options = {kRoot, {.longName = "tsv", .help = "tab-separated fields, for programs"}}, .run = RunList},
    {.name = "new", .summary = "make a layout from a template (a copy of its library)",
     .positionals = {Arg("TEMPLATE"), Arg("LANG"), Arg("NAME")}, .options = {kRoot, kWait}, .run = RunNew,
     .details = "TEMPLATE is the catalogue position of the layout to copy, LANG the language (hexadecimal, "
                "e.g. 0407) and NAME the name of the new layout."},
    {.name = "picture", .summary = "draw a layout as an SVG picture of its keyboard",
     .positionals = {Arg("FILE|POS", kFile)},
     .options = {kRoot,
                 {.longName = "shape", .valueName = "SHAPE",
                  .help = "the keyboard to draw (default: the one the layout is made for)",
                  .choices = "ansi|iso|abnt|jis"},
                 {.longName = "output", .shortName = 'o', .valueName = "OUT.svg",
                  .help = "the file to write (default: the standard output)", .completion = kFile}},
     .run = RunPicture,
     .details = "FILE is any layout file the program reads; POS (a number) is a catalogue entry, its layout as "
                "installed (--root goes with POS only)."},
    {.name = "remove", .summary = "remove a layout this program created",
     .positionals = {Arg("POS")}, .options = {kRoot, kYes, kNo, kWait}, .run = RunRemove},
    {.name = "restore", .summary = "point a layout back at the system's own file",
     .positionals = {Arg("POS")}, .options = {kRoot, kYes, kNo, kWait}, .run = RunRestore},
};

constexpr CommandDefinition kPositionalForm{
    .summary = "the Windows program's own command line",
    .positionals = {Arg("POS"), Arg("FILE", kFile), OptionalArg("LANG"), OptionalArg("NAME")},
    .options = {kRoot, kYes, kNo, kWait}, .run = RunPositional,
    .details = "With two arguments, installs FILE over the catalogue entry POS (as tastora install); with four, "
               "makes a layout from the catalogue entry TEMPLATE for the language LANG, called NAME, and installs "
               "FILE onto it (as tastora create).",
    .synopsis = "(POS FILE | TEMPLATE FILE LANG NAME)"};

}  // namespace

std::span<const CommandDefinition> CliCommands() { return kCommands; }

const CommandDefinition* FindCommand(std::string_view name) {
  for (const CommandDefinition& command : kCommands)
    if (name == command.name) return &command;
  return nullptr;
}

const CommandDefinition& PositionalForm() { return kPositionalForm; }

}  // namespace tastora

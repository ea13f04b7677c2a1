// The self-extractor's command line: splitting a text into arguments,
// matching them against the option table, applying the options to the run
// state (Sfx/SfxRunState.h), response files ("@file") and language codes.
//
// An option is "-name", "--name" or "/name", optionally followed by ":" and
// a value; an option that takes a value and has none after the colon takes
// the next argument, unless that argument is itself an option. An argument
// that begins with "/" is an option only when its name is in the table, so
// "/opt/app" is a plain value (a folder) and "-run /opt/app" works. Any
// other argument is a plain word, which the self-extractor refuses.
#pragma once

#include "foundation/WuList.h"
#include "platform/kernel/types.h"

// Result of a run that showed the help box (the run ends with it).
constexpr HRESULT SFX_E_HELP_SHOWN = static_cast<HRESULT>(0x8004E070);

// How deeply response files may name further response files; a deeper one
// fails with E_INVALIDARG (a file naming itself would recurse without end).
constexpr int SFX_MAX_RESPONSE_DEPTH = 8;
// How many response files one response file named on the command line may
// bring in, itself included; further ones fail with E_INVALIDARG (a file
// naming itself many times would otherwise be read a power of that number
// of times).
constexpr int SFX_MAX_RESPONSE_FILES = 64;

// Longest option name, in units, before the ':' of "-name:value".
constexpr int SFX_OPTION_NAME_MAX = 63;

// Argument types: the option table's types and two without a row.
enum SfxArgumentType {
  SFXARG_RESPONSE_FILE = 1,  // "@file"
  SFXARG_HELP = 2,           // HELP, ?
  SFXARG_WORD = 3,           // a plain word (not an option)
  SFXARG_RUN = 4,            // RUN <folder>
  SFXARG_NOSETUP = 5,        // NOSETUP <ignored>
  SFXARG_LOG = 6,            // LOG <ignored>
  SFXARG_DEBUG = 7,          // DEBUG <ignored>
  SFXARG_TRACE = 8,          // TRACE <ignored>
  SFXARG_POST_INSTALL = 9,   // POST_INSTALL <ignored>
  SFXARG_QUIET = 10,         // QUIET
  SFXARG_TEMPEXT = 11,       // TEMPEXT: overwrite without asking
  SFXARG_NOTEMP = 12,        // NOTEMP
  SFXARG_LANGUAGE = 13,      // l <code>
  SFXARG_NOLAUNCH = 14,      // nl, nolaunch
  SFXARG_UI = 15,            // ui <value>
};

// One row of the option table; the table ends with a row whose name is NULL.
struct SfxOption {
  LPCWSTR name;      // option name, matched without regard to case
  int type;          // SfxArgumentType
  BOOL takesValue;   // the option needs a value
  int reserved;      // 0
};

// The option table.
extern const SfxOption g_SfxOptions[];

// One parsed argument: an in-place item of the list SfxParseArguments makes.
struct SfxArgument {
  int type;          // SfxArgumentType
  BOOL takesValue;   // copied from the option's row (TRUE for "@", FALSE for words)
  LPWSTR value;      // points into the split argument block; NULL when none
};

// Splits a command line into arguments. White space separates them; a '"'
// is dropped and toggles quoting, inside which white space belongs to the
// argument and '""' gives one literal '"'. Returns a NULL-ended array of
// `*count` arguments in one zero-filled block (GlobalAlloc) that also holds
// the split text; the caller frees it with GlobalFree. NULL with *count 0
// for a NULL or empty text, a text without arguments, or when memory is
// exhausted.
LPWSTR* SfxSplitCommandLine(LPCWSTR text, int* count);

// Parses `count` arguments from index `first` (stopping early at a NULL
// entry) into a new list of SfxArgument items. An empty result gives no
// list (*list NULL) and S_OK. E_INVALIDARG for any syntax error,
// E_OUTOFMEMORY when the list cannot grow; *list is then NULL.
HRESULT SfxParseArguments(tWULIST** list, LPWSTR* arguments, int first, int count);

// Parses and applies arguments in order. Returns E_INVALIDARG (or the
// parser's failure) at once on a syntax error; SFX_E_HELP_SHOWN when the
// help box was shown (later arguments are not applied); otherwise the last
// result that an item set (a response file's result, or E_INVALIDARG after
// the "Invalid Argument" box for a plain word), 0 when none did.
HRESULT SfxProcessOptions(LPWSTR* arguments, int first, int count);

// Splits a whole command line and applies its arguments, skipping the first
// one (the program) when `skipFirst` is set. 1 when there is nothing to
// apply. Failures other than help and syntax errors are shown in a box.
HRESULT SfxProcessCommandLine(LPCWSTR commandLine, BOOL skipFirst);

// Reads a response file (ANSI code page text, up to its first zero byte)
// and applies its arguments. E_INVALIDARG for NULL, when response files
// nest deeper than SFX_MAX_RESPONSE_DEPTH or when more than
// SFX_MAX_RESPONSE_FILES are read for one on the command line; 0x8004E007 when the file cannot
// be opened; 0x8004E008 when it cannot be read whole; E_OUTOFMEMORY; 1 for
// a file without arguments; else the result of SfxProcessOptions.
HRESULT SfxReadResponseFile(LPCWSTR path);

// Shows the help box (UI strings 600 and 601 of the run's language handle,
// expanded as formatted text).
void SfxShowHelp();

// The LCID of a three-letter language code ("deu" 1031, ...), matched
// without regard to case; the user's default UI language for any other text.
LCID SfxLanguageCodeToLCID(LPCWSTR code);

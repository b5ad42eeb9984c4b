#pragma once

#include <functional>
#include <string>

// Where a conversion writes when the user does not say otherwise, and how the
// commands that start it are labelled. The functions are pure apart from the
// existence test they are given, so callers and tests decide what exists.
using PathExistsFn = std::function<bool(const std::u16string& path)>;

// Whether something (file, folder or dangling link) has that name on disk.
bool PathExistsOnDisk(const std::u16string& path);

// "<base>" in folder when free, else "<base> (2)", "<base> (3)", ...; ext is
// appended after the number ("a (Converted) (2).txt").
std::u16string UniqueNameIn(const std::u16string& folder, const std::u16string& base, const std::u16string& ext,
                            const PathExistsFn& exists);

// A folder's output: "<name> (Converted)" beside it, made unique. The root
// has neither a name nor a parent, and Linux has no next drive to put it on:
// it gets "Converted" in the user's home folder (or on the root when there is
// no home). Trailing separators of the input are ignored.
std::u16string ProposeOutputFolder(const std::u16string& inputFolder, const std::u16string& homeFolder,
                                   const PathExistsFn& exists);
std::u16string ProposeOutputFolder(const std::u16string& inputFolder);

// A file's output in its own folder: "<stem> (Converted)<ext>", made unique.
// A leading dot starts no extension (".profile" has none).
std::u16string ProposeOutputFile(const std::u16string& inputFile, const PathExistsFn& exists);
std::u16string ProposeOutputFile(const std::u16string& inputFile);

// The folder and file menus' labels for a proposal: "&Convert to" or
// "Recursively Convert to", a blank and the proposal in double quotes; the
// proposal shows as its name when it lies beside the input, else in full.
// Ampersands of the name are doubled so that they are shown, not taken as
// mnemonics.
enum class ConvertCommand { Convert, RecursivelyConvert };
std::u16string ConvertToLabel(ConvertCommand command, const std::u16string& input, const std::u16string& proposal);

// The folder part and the name part of a path ("/a/b" gives "/a" and "b";
// "/b" gives "/" and "b").
std::u16string ParentOf(const std::u16string& path);
std::u16string NameOf(const std::u16string& path);

#pragma once

#include <string>
#include <vector>

// tatcard import DIR --front F [--rear R] [--nmea LOG] --category C --name N
//
// Makes a recording on the card in DIR from media files (see MediaImporter.h). args are the
// command line from the word "import" on. Prints a summary on standard output and returns
// the process exit status: 2 for a mistake in the arguments, 1 when the import fails, each
// with one line on standard error.
int ImportCommand(const std::vector<std::string>& args);

#pragma once

#include <cstdio>
#include <string>

#include "app/CommandLine.h"

class CControlClient;
class CProfile;

// The preset verbs of the command line: the sets (--preset-sets,
// --preset-set, --new-preset-set) and the files (--export-presets,
// --import-presets). They work on the profile itself, with or without a
// running copy, and tell a running copy, whose window then shows them. An
// import only shows what it would change until --yes is given. Answers go to
// standard output, reasons and notes to standard error; the status is a
// KestrelExit one.
class CPresetVerb {
public:
    CPresetVerb(const CCommandLine& commandLine, CProfile& profile)
        : m_commandLine(commandLine), m_profile(profile) {}

    static bool Takes(CCommandLine::EVerb eVerb);
    // pCopy: the running copy to tell, if any.
    int Run(CControlClient* pCopy);

private:
    int ListSets() const;
    int SwitchSet(CControlClient* pCopy) const;
    int AddSet() const;
    int Export() const;
    int Import(CControlClient* pCopy) const;
    int Fail(int nStatus, const std::string& strWhy) const;
    void Print(const std::string& strText) const;
    void Note(const std::string& strText) const;

    const CCommandLine& m_commandLine;
    CProfile& m_profile;
};

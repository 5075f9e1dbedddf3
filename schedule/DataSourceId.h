#pragma once

#include <string>
#include <vector>

class CDbDriver;

// The identity of a KestrelRadio data source: a random id made once and kept
// in the data source itself (the one row of table KestrelSource, made when
// missing). Work items carry it, so that one data source's items are never
// taken for another's, nor for those of a re-created database whose task
// ids start again at 1.
class CDataSourceId {
public:
    // Hands a scheduled run the id of the data source its task is in.
    static constexpr const char* kSwitch = "--data-source=";

    // The id of the data source "KestrelRadio" that driver reaches, made and
    // stored on first use. Throws CDBException with the data source's text.
    static std::string Obtain(CDbDriver& driver);
    // kSwitch followed by the id: one argument.
    static std::string Switch(const std::string& strId);
    // The id of the first kSwitch among the arguments; empty without one.
    static std::string FromArguments(const std::vector<std::string>& arguments);
    // A fresh random id: a version 4 UUID in its usual text form.
    static std::string NewId();
};

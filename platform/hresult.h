// Result codes of the platform services (32-bit HRESULT: negative is failure, 0 is S_OK, 1 is
// S_FALSE) and the one table of their message texts.
#pragma once

#include <string>

#include "types.h"

constexpr HRESULT MakeHResult(std::uint32_t value) { return static_cast<HRESULT>(value); }

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);
// The system's "the data is invalid": what a file holds breaks its own rules (a character
// definition that names an animation the file does not hold, say).
inline constexpr HRESULT E_INVALIDDATA = MakeHResult(0x8007000D);
// The system's "the directory name is invalid": a folder was named where a file is needed.
inline constexpr HRESULT E_DIRECTORY = MakeHResult(0x8007010B);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeHResult(0x800401F0);
inline constexpr HRESULT CO_E_DLLNOTFOUND = MakeHResult(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = MakeHResult(0x800401F9);
inline constexpr HRESULT STG_E_INVALIDFUNCTION = MakeHResult(0x80030001);
inline constexpr HRESULT STG_E_FILENOTFOUND = MakeHResult(0x80030002);
inline constexpr HRESULT STG_E_PATHNOTFOUND = MakeHResult(0x80030003);
inline constexpr HRESULT STG_E_TOOMANYOPENFILES = MakeHResult(0x80030004);
inline constexpr HRESULT STG_E_ACCESSDENIED = MakeHResult(0x80030005);
inline constexpr HRESULT STG_E_INVALIDHANDLE = MakeHResult(0x80030006);
inline constexpr HRESULT STG_E_INSUFFICIENTMEMORY = MakeHResult(0x80030008);
inline constexpr HRESULT STG_E_INVALIDPOINTER = MakeHResult(0x80030009);
inline constexpr HRESULT STG_E_NOMOREFILES = MakeHResult(0x80030012);
inline constexpr HRESULT STG_E_SEEKERROR = MakeHResult(0x80030019);
inline constexpr HRESULT STG_E_WRITEFAULT = MakeHResult(0x8003001D);
inline constexpr HRESULT STG_E_READFAULT = MakeHResult(0x8003001E);
inline constexpr HRESULT STG_E_SHAREVIOLATION = MakeHResult(0x80030020);
inline constexpr HRESULT STG_E_LOCKVIOLATION = MakeHResult(0x80030021);
inline constexpr HRESULT STG_E_FILEALREADYEXISTS = MakeHResult(0x80030050);
inline constexpr HRESULT STG_E_INVALIDPARAMETER = MakeHResult(0x80030057);
inline constexpr HRESULT STG_E_MEDIUMFULL = MakeHResult(0x80030070);
inline constexpr HRESULT STG_E_INVALIDHEADER = MakeHResult(0x800300FB);
inline constexpr HRESULT STG_E_INVALIDNAME = MakeHResult(0x800300FC);
inline constexpr HRESULT STG_E_INVALIDFLAG = MakeHResult(0x800300FF);
inline constexpr HRESULT STG_E_REVERTED = MakeHResult(0x80030102);
inline constexpr HRESULT STG_E_OLDFORMAT = MakeHResult(0x80030104);
inline constexpr HRESULT STG_E_DOCFILECORRUPT = MakeHResult(0x80030109);
inline constexpr HRESULT STG_E_DOCFILETOOLARGE = MakeHResult(0x80030111);

// The message text of a result code ("The docfile has been corrupted."); codes outside the table
// get "Unknown error".
std::string HResultMessage(HRESULT hr);

// "0x80030109": the code as eight upper-case hex digits.
std::string HResultHex(HRESULT hr);

// "<what>: <message> (0x80030109)", the text of every error the platform raises for a code.
std::string DescribeFailure(const std::string& what, HRESULT hr);

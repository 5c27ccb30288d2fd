#include "serial/SerExcept.h"

#include <gtest/gtest.h>

#include <functional>
#include <typeinfo>

#include "platform/io_error.h"

namespace {

// Raises Code and reports what came out.
struct Raised {
  std::string type;
  std::string message;
  int error_code = -99999;
  bool is_ser = false;
};

Raised Raise(int code) {
  Raised r;
  try {
    RaiseSerialError(code);
  } catch (const ESerException& e) {
    r = {typeid(e).name(), e.what(), e.ErrorCode(), true};
  } catch (const EInOutError& e) {
    r = {typeid(e).name(), e.what(), e.ErrorCode(), false};
  } catch (const EOutOfMemory& e) {
    r = {typeid(e).name(), e.what(), 0, false};
  }
  return r;
}

template <typename T>
std::string Name() {
  return typeid(T).name();
}

TEST(SerExceptTest, CodesRaiseTheirClassesWithTheirTexts) {
  struct Case {
    int code;
    std::string type;
    std::string message;
    int error_code;
  };
  const Case cases[] = {
      {-1002, Name<EBadArgument>(), "Bad argument passed to function", -1002},
      {-1009, Name<ECannotUseWithWinSock>(), "Component not compatible with WinSock", -1009},
      {-7003, Name<EInternal>(), "Internal database error", -7003},
      {-2001, Name<EBadId>(), "ie_BadId - Specified comport doesn't exist", -2001},
      {-2007, Name<ECommNotOpen>(), "ie_NOpen - device not open", -2007},
      {-2008, Name<EAlreadyOpen>(), "ie_Open - device already open", -2008},
      {-2011, Name<ENoPortSelected>(), "The ComNumber property of the TSerComPort has not been set",
       -2011},
      {-2012, Name<ENotOpenedByTapi>(), "Comport was not opened by Tapi", -2012},
      {-3001, Name<ENullApi>(), "No device layer specified", -3001},
      {-3004, Name<EPutBlockFail>(), "Failed to put entire block", -3004},
      {-3006, Name<EOutputBufferTooSmall>(), "Output buffer too small for block", -3006},
      {-3007, Name<EBufferIsEmpty>(), "Buffer is empty", -3007},
      {-3010, Name<EBaseAddressNotSet>(), "Base address not set", -3010},
      {-4006, Name<EModemNotResponding>(), "Modem is not responding", -4006},
      {-5002, Name<ETriggerTooLong>(), "Data trigger too long", -5002},
      {-6008, Name<EProtocol>(), "Protocol cancel requested", -6008},
      {-7014, Name<EBadFieldForIndex>(), "Bad field for index", -7014},
      {-8053, Name<EInvalidPageNumber>(), "Invalid page number", -8053},
      {-13802, Name<ETapiBadDeviceID>(), "TAPI error: bad device ID", -13802},
      {-13942, Name<ETapiTranslateFail>(), "TAPI: number translation failed", -13942},
      {-13980, Name<ERasLoadFail>(), "Unable to load the remote access library", -13980},
      // Not listed in any family, although the table has a text for some.
      {-3002, Name<ESerException>(), "Serial exception", 0},
      {-7009, Name<ESerException>(), "Serial exception", 0},
      {-13804, Name<ESerException>(), "Serial exception", 0},
      {-13849, Name<ESerException>(), "Serial exception", 0},
      {-1, Name<ESerException>(), "Serial exception", 0},
      {-1001, Name<ESerException>(), "Serial exception", 0},
      {-163, Name<ESerException>(), "Serial exception", 0},
      {-99999, Name<ESerException>(), "Serial exception", 0},
      // The runtime's input/output errors, with the positive number.
      {-2, Name<EInOutError>(), "File not found", 2},
      {-5, Name<EInOutError>(), "File access denied", 5},
      {-162, Name<EInOutError>(), "General failure", 162},
      {-87, Name<EInOutError>(), "The parameter is incorrect. ", 87},
      {-99, Name<EInOutError>(), "", 99},
  };
  for (const Case& c : cases) {
    Raised r = Raise(c.code);
    EXPECT_EQ(r.type, c.type) << c.code;
    EXPECT_EQ(r.message, c.message) << c.code;
    EXPECT_EQ(r.error_code, c.error_code) << c.code;
  }
  Raised oom = Raise(-8);
  EXPECT_EQ(oom.type, Name<EOutOfMemory>());
  EXPECT_EQ(oom.message, "Out of memory");
}

TEST(SerExceptTest, FamiliesCatchTheirMembers) {
  EXPECT_THROW(RaiseSerialError(-2011), EOpenComm);
  EXPECT_THROW(RaiseSerialError(-3007), ESerialIO);
  EXPECT_THROW(RaiseSerialError(-1006), EGeneral);
  EXPECT_THROW(RaiseSerialError(-7006), EGeneral);
  EXPECT_THROW(RaiseSerialError(-7001), EINI);
  EXPECT_THROW(RaiseSerialError(-8060), EFax);
  EXPECT_THROW(RaiseSerialError(-13886), ETapi);
  EXPECT_THROW(RaiseSerialError(-5003), ETrigger);
  EXPECT_THROW(RaiseSerialError(-4001), EModem);
  EXPECT_THROW(RaiseSerialError(-13980), ERas);
  EXPECT_THROW(RaiseSerialError(-2001), Exception);
}

TEST(SerExceptTest, ConstructorsSetCodeAndText) {
  ESerException by_code(-3007);
  EXPECT_EQ(by_code.ErrorCode(), -3007);
  EXPECT_STREQ(by_code.what(), "Buffer is empty");
  ESerException by_text(std::string("anything"));
  EXPECT_EQ(by_text.ErrorCode(), 0);
  EXPECT_STREQ(by_text.what(), "anything");
}

TEST(SerExceptTest, MessageTextComesFromTheTableElseTheSystemElseNothing) {
  EXPECT_EQ(ErrorMessageText(0), "OK");
  EXPECT_EQ(ErrorMessageText(-3007), "Buffer is empty");
  EXPECT_EQ(ErrorMessageText(3002), "Function not supported by driver");
  EXPECT_EQ(ErrorMessageText(15001), "No event");
  EXPECT_EQ(ErrorMessageText(15501), "Time      Type      SubType       Data      OtherData");
  // Not in the table: the system's message, cleaned (CR LF becomes one blank).
  EXPECT_EQ(ErrorMessageText(1167), "The device is not connected. ");
  // Known to neither.
  EXPECT_EQ(ErrorMessageText(77), "");
  EXPECT_EQ(ErrorMessageText(INT32_MIN), "");
}

TEST(SerExceptTest, MessagesAreKeptUpToTheLongestLengthAndCutBeyond) {
  const std::string longest(kMaxErrorMessage, 'm');
  const struct {
    const char* name;
    std::string table, system, message;
  } cases[] = {
      {"table text at the limit", longest, "", longest},
      {"table text one past", longest + "x", "", longest},
      {"system text at the limit", "", longest, longest},
      {"system text one past", "", longest + "x", longest},
      // Cut before it is cleaned: the CR of a line end past the limit is all that
      // remains of it, as a blank.
      {"system line end past the limit", "", longest.substr(1) + "\r\n", longest.substr(1) + " "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComposeErrorMessage(c.table, c.system), c.message) << c.name;
  }
}

TEST(SerExceptTest, CleanSystemMessage) {
  EXPECT_EQ(CleanSystemMessage("Access is denied.\r\n"), "Access is denied. ");
  EXPECT_EQ(CleanSystemMessage("a\t\tb  c   d"), "a b c d");
  EXPECT_EQ(CleanSystemMessage("\r\n"), " ");
  EXPECT_EQ(CleanSystemMessage(""), "");
}

}  // namespace

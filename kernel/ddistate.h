#ifndef KERNEL_DDISTATE_H
#define KERNEL_DDISTATE_H

// The NT device's order of DDI calls, and how its failures reach the
// engine.
//
// The engine calls a PDEV's entries in an order of its own choosing, and an
// application can make it call them out of turn (a page sent that was never
// started, a document ended twice, drawing between pages). Every device
// handler first asks ddiCallCheck whether its request fits the device's
// state and, when it does not, answers its failure value without touching
// anything, the last error included. A failed page or document step puts
// the device in the error state, which admits only what ends the job and
// takes the PDEV down.
//
// Failures the device does report go to the engine's last error through one
// fixed table, ddiResultToLastError.

#include <cstdint>

#include "host/engine/ddi.h"

// The device's DDI state.
enum : int32_t {
  kDdiDisabled = 0,    // no PDEV, or the PDEV was disabled
  kDdiTakenOver = 1,   // a reset moved the job to another PDEV
  kDdiReady = 2,       // PDEV enabled, no document
  kDdiError = 3,       // a page or document step failed
  kDdiInDocument = 4,  // between the start and the end of a document
};

// How far the PDEV has come.
enum : int32_t {
  kPdevEnabled = 0,
  kPdevCompleted = 1,
  kPdevSurfaceEnabled = 2,
};

// The state words the call check reads. The device owns them; its handlers
// change them as the calls go by.
struct GDdiState {
  int32_t state = kDdiDisabled;
  int32_t pdevStage = kPdevEnabled;
  bool pageAllowed = false;      // a page may start (after the document start, between pages)
  bool inPage = false;           // between a page's start and its end
  bool banding = false;          // between the start of banding and the last band
  bool documentPending = false;  // the document was started but nothing has been sent for it
};

// What a handler asks to do. Requests 1, 2 and 4 come from entries that
// no device state can refuse; the device's own handlers use the others.
enum GDdiRequest : int32_t {
  kDdiUnordered1 = 1,
  kDdiUnordered2 = 2,
  kDdiEnablePDEV = 3,
  kDdiUnordered4 = 4,
  kDdiCompletePDEV = 5,
  kDdiDisablePDEV = 6,
  kDdiResetPDEVNew = 7,  // the PDEV a reset moves the job to
  kDdiResetPDEVOld = 8,  // the PDEV a reset moves the job from
  kDdiEnableSurface = 9,
  kDdiDisableSurface = 10,
  kDdiStartDoc = 11,
  kDdiEndDoc = 12,
  kDdiStartPage = 13,
  kDdiSendPage = 14,
  kDdiStartBanding = 15,
  kDdiNextBand = 16,
  kDdiEscape = 17,  // escapes and font management
  kDdiRealizeBrush = 18,
  kDdiDrawing = 19,  // text, paths and bit-block transfers
};

// The call check's answers.
constexpr uint16_t kDdiAllowed = 0;
constexpr uint16_t kDdiOutOfOrder = 401;
constexpr uint16_t kDdiInErrorState = 403;

// Whether the request fits the state: kDdiAllowed, kDdiOutOfOrder, or
// kDdiInErrorState for anything but disablePDEV, disableSurface, endDoc and
// sendPage once the device has failed. A request type outside 1..19 is
// refused like any call out of order.
[[nodiscard]] uint16_t ddiCallCheck(const GDdiState& state, int32_t type);

// The engine's last error for a framework result, which is taken as its
// low 16 bits (a status is 16 bits wide); 0 for result 0, which is no
// failure and sets nothing. A non-zero result whose low 16 bits are zero
// is still a failure and answers the general one.
ULONG ddiLastErrorFor(uint32_t result);

// Hands the last error for a failed result to EngSetLastError; result 0
// leaves the last error as it is.
void ddiResultToLastError(uint32_t result);

#endif  // KERNEL_DDISTATE_H

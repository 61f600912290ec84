#include "kernel/ddistate.h"

uint16_t ddiCallCheck(const GDdiState& s, int32_t type) {
  // A failed device lets the engine end the page and the document and take
  // the surface and the PDEV down; nothing else, not even what would be
  // allowed in any other state.
  if (s.state == kDdiError) {
    switch (type) {
      case kDdiDisablePDEV:
      case kDdiDisableSurface:
      case kDdiEndDoc:
      case kDdiSendPage:
        return kDdiAllowed;
      default:
        return kDdiInErrorState;
    }
  }

  const bool ready = s.state == kDdiReady;
  const bool inDocument = s.state == kDdiInDocument;
  const int32_t p = s.pdevStage;
  bool allowed = false;
  switch (type) {
    case kDdiUnordered1:
    case kDdiUnordered2:
    case kDdiEnablePDEV:
    case kDdiUnordered4:
    case kDdiRealizeBrush:
      allowed = true;
      break;
    case kDdiCompletePDEV:
      allowed = ready && p == kPdevEnabled;
      break;
    case kDdiDisablePDEV:
      allowed = ready && (p == kPdevEnabled || p == kPdevCompleted);
      break;
    case kDdiResetPDEVNew:
      allowed = ready && p == kPdevCompleted;
      break;
    case kDdiResetPDEVOld:
      // A job may move to a new PDEV between its pages, never inside one.
      allowed = (ready && p == kPdevCompleted) || (inDocument && s.pageAllowed && !s.banding);
      break;
    case kDdiEnableSurface:
      allowed = (ready || inDocument) && p == kPdevCompleted;
      break;
    case kDdiDisableSurface:
      allowed = (ready || s.state == kDdiTakenOver) && p == kPdevSurfaceEnabled;
      break;
    case kDdiStartDoc:
      // In a document only on the PDEV a reset gave the job to, whose
      // surface is new: the document goes on there.
      allowed = p == kPdevSurfaceEnabled &&
                (ready || (inDocument && !s.pageAllowed && !s.inPage));
      break;
    case kDdiEndDoc:
      allowed = inDocument && ((s.pageAllowed && !s.banding) || s.documentPending);
      break;
    case kDdiStartPage:
      allowed = inDocument && s.pageAllowed;
      break;
    case kDdiSendPage:
      allowed = inDocument && s.inPage && !s.banding;
      break;
    case kDdiStartBanding:
      allowed = inDocument && !s.banding && (s.pageAllowed || s.inPage);
      break;
    case kDdiNextBand:
      allowed = inDocument && s.inPage && s.banding;
      break;
    case kDdiEscape:
      allowed = inDocument || (ready && (p == kPdevCompleted || p == kPdevSurfaceEnabled));
      break;
    case kDdiDrawing:
      allowed = inDocument && s.inPage;
      break;
    default:
      // No handler asks with another type; refusing keeps a mistaken one
      // from passing in every state.
      allowed = false;
      break;
  }
  return allowed ? kDdiAllowed : kDdiOutOfOrder;
}

ULONG ddiLastErrorFor(uint32_t result) {
  if (result == 0) return ERROR_SUCCESS;
  switch (static_cast<uint16_t>(result)) {
    case 2:
      return ERROR_DISK_FULL;
    case 3:
      return ERROR_NOT_ENOUGH_MEMORY;
    case 4:
    case 5:
      return ERROR_CANCELLED;
    case 7:
      return ERROR_INVALID_PARAMETER;
    case 8:
      return ERROR_DEV_NOT_EXIST;
    case 101:
      return ERROR_OUTOFMEMORY;
    case 102:
      return ERROR_STACK_OVERFLOW;
    case 103:
      return ERROR_NO_SYSTEM_RESOURCES;
    case kDdiInErrorState:
      return ERROR_INVALID_PRINTER_STATE;
    default:
      // Including a result whose low 16 bits are 0: it is still a failure,
      // and the engine must not be told nothing went wrong.
      return ERROR_GEN_FAILURE;
  }
}

void ddiResultToLastError(uint32_t result) {
  const ULONG code = ddiLastErrorFor(result);
  if (code != ERROR_SUCCESS) EngSetLastError(code);
}

#ifndef TESTKIT_CORE_STAGE_H
#define TESTKIT_CORE_STAGE_H

// A recording stage: a concrete command-processing stage for tests. It logs
// every handler call (the handler's name, the class ID of the object it was
// given and that object's id), answers the statuses a test scripts, and can
// swallow the commands of a class or disable itself on one. Its attribute
// handlers clear the changed flag of what they are sent, as the generators
// do when they consume an attribute, so that a stage sent the same state
// twice is sent nothing the second time.
//
// It is registered with the factory (TestKitClassId::RecordingPeripheral)
// and stores nothing of its own after the stage's level, so it stores and
// restores as the stage does; the log and the scripts are not stored.
//
// The handlers of classes no subsystem has defined yet (fonts,
// pass-through, languages) log their name alone, with class ID and id 0,
// until their classes exist. The path, the shapes, the raster and
// scan-line commands, the brushes and the pens log as every command and
// attribute does.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "journal/periph.h"
#include "testkit/core/ids.h"

class RecordingPeripheral : public GPeripheral {
  G_PERSISTENT_CLASS(RecordingPeripheral)

 public:
  struct Call {
    std::string handler;
    RWClassID classId;
    uint32_t id;
    bool operator==(const Call& other) const {
      return handler == other.handler && classId == other.classId && id == other.id;
    }
  };

  RecordingPeripheral();
  explicit RecordingPeripheral(const RWCString& name, const uint32_t& id = 0);
  // The stage's full form: it takes charge of the defaults and the
  // configuration (null: new empty ones) and ends with State reset.
  RecordingPeripheral(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id = 0,
                      uint32_t addOnListId = AttrId::AddOnList, int32_t kind = 6, int32_t mode = 2);
  // The stage copied as stages copy; the scripts too, not the log.
  RecordingPeripheral(const RecordingPeripheral& other);
  RecordingPeripheral& operator=(const RecordingPeripheral& other);
  ~RecordingPeripheral() override;

  static RWClassID classIsA() { return TestKitClassId::RecordingPeripheral; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  uint32_t processingFlags() override { return 0; }

  // ---- scripts -----------------------------------------------------------------
  // Every call of the handler (by name, "onPageStart") answers the status.
  void answer(const std::string& handler, GStatus status) { byHandler_[handler] = status; }
  // A call given this very object answers the status; it goes before the
  // handler's.
  void answerFor(const MPersistentObject* object, GStatus status) { byObject_[object] = status; }
  // Commands of the class are answered by a new GNoCommand, no handler
  // called.
  void swallow(RWClassID commandClass) { swallowed_.insert(commandClass); }
  // The stage disables itself once it has dispatched a command of the class.
  void disableOn(RWClassID commandClass) { disablers_.insert(commandClass); }

  // ---- the log -----------------------------------------------------------------
  const std::vector<Call>& calls() const { return calls_; }
  // The handlers' names alone, in order.
  std::vector<std::string> handlers() const;
  void clearCalls() { calls_.clear(); }

  GCommandPtr dispatch(const GCommandPtr& command) override;

  // ---- commands ----------------------------------------------------------------
  GStatus onArc(GArcGraphic* command) override;
  GStatus onChord(GChordGraphic* command) override;
  GStatus onEllipse(GEllipseGraphic* command) override;
  GStatus onEndScanLine(GEndScanLine* command) override;
  GStatus onPath(GPathGraphic* command) override;
  GStatus onPie(GPieGraphic* command) override;
  GStatus onPolyBezier(GPolyBezierGraphic* command) override;
  GStatus onPolyBezierTo(GPolyBezierToGraphic* command) override;
  GStatus onPolyLine(GPolyLineGraphic* command) override;
  GStatus onPolyLineTo(GPolyLineToGraphic* command) override;
  GStatus onPolygon(GPolygonGraphic* command) override;
  GStatus onRectangle(GRectangleGraphic* command) override;
  GStatus onRaster(GRasterGraphic* command) override;
  GStatus onRoundedRectangle(GRoundedRectangleGraphic* command) override;
  GStatus onScanLine(GScanLineGraphic* command) override;
  GStatus onStartScanLine(GStartScanLine* command) override;
  GStatus onTextString(GTextStringGraphic*) override { return recordName("onTextString"); }
  GStatus onDownloadFace(GDownloadFace*) override { return recordName("onDownloadFace"); }
  // The five job-state handlers do what the stage does, then answer the
  // scripted status when one is set.
  GStatus onDocumentStart(GDocumentStart* command) override;
  GStatus onDocumentEnd(GDocumentEnd* command) override;
  GStatus onManualDuplexFirstHalf(GManualDuplexFirstHalf* command) override;
  GStatus onPageStart(GPageStart* command) override;
  GStatus onPageEnd(GPageEnd* command) override;
  GStatus onJobAbort(GJobAbort* command) override;
  GStatus onErrorCommand(GErrorCommand* command) override;
  GStatus onPassThrough(GPassThroughCommand*) override { return recordName("onPassThrough"); }
  GStatus onDownloadHeader(GDownloadHeaderCommand*) override { return recordName("onDownloadHeader"); }
  GStatus onTextGraphic(GTextGraphic*) override { return recordName("onTextGraphic"); }

  // ---- attributes --------------------------------------------------------------
  GStatus onBrush(GBrush* attribute) override;
  GStatus onCap(GCap* attribute) override;
  GStatus onClipToPage(GClipToPage* attribute) override;
  GStatus onClipToPath(GClipToPath* attribute) override;
  GStatus onClipToRectangle(GClipToRectangle* attribute) override;
  GStatus onClipToSingleRectangle(GClipToSingleRectangle* attribute) override;
  GStatus onColorMap(GColorMap* attribute) override;
  GStatus onDashedPen(GDashedPen* attribute) override;
  GStatus onFillMode(GFillMode* attribute) override;
  GStatus onHalftone(GHalftone* attribute) override;
  GStatus onJoint(GJoint* attribute) override;
  GStatus onMiterJoint(GMiterJoint* attribute) override;
  GStatus onNoBrush(GNoBrush* attribute) override;
  GStatus onNoPen(GNoPen* attribute) override;
  GStatus onPen(GPen* attribute) override;
  GStatus onRasterOperation(GRasterOperation* attribute) override;
  GStatus onValueAttribute(GValueAttribute* attribute) override;
  GStatus onStringAttribute(GStringAttribute* attribute) override;
  GStatus onEnumAttribute(GEnumAttribute* attribute) override;
  GStatus onRangeAttribute(GRangeAttribute* attribute) override;
  GStatus onCheetah(GCheetah*) override { return recordName("onCheetah"); }
  GStatus onPcl5e(GPcl5e*) override { return recordName("onPcl5e"); }
  GStatus onPostScript(GPostScript*) override { return recordName("onPostScript"); }
  GStatus onPJL(GPJL*) override { return recordName("onPJL"); }
  GStatus onMedia(GMedia*) override { return recordName("onMedia"); }
  GStatus onTray(GTray*) override { return recordName("onTray"); }
  GStatus onTransformAttribute(GTransformAttribute* attribute) override;

 private:
  // Logs the call and answers its scripted status (else `otherwise`).
  GStatus record(const char* handler, const MPersistentObject* object, GStatus otherwise = 0);
  GStatus recordName(const char* handler);
  // record, and the attribute's changed flag cleared: consumed.
  GStatus consume(const char* handler, GAttribute* attribute);

  std::vector<Call> calls_;
  std::map<std::string, GStatus> byHandler_;
  std::map<const MPersistentObject*, GStatus> byObject_;
  std::set<RWClassID> swallowed_;
  std::set<RWClassID> disablers_;
};

RW_DECLARE_RESTORE_OPERATORS(RecordingPeripheral)

#endif

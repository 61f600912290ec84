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
  [[nodiscard]] GStatus onArc(GArcGraphic* command) override;
  [[nodiscard]] GStatus onChord(GChordGraphic* command) override;
  [[nodiscard]] GStatus onEllipse(GEllipseGraphic* command) override;
  [[nodiscard]] GStatus onEndScanLine(GEndScanLine* command) override;
  [[nodiscard]] GStatus onPath(GPathGraphic* command) override;
  [[nodiscard]] GStatus onPie(GPieGraphic* command) override;
  [[nodiscard]] GStatus onPolyBezier(GPolyBezierGraphic* command) override;
  [[nodiscard]] GStatus onPolyBezierTo(GPolyBezierToGraphic* command) override;
  [[nodiscard]] GStatus onPolyLine(GPolyLineGraphic* command) override;
  [[nodiscard]] GStatus onPolyLineTo(GPolyLineToGraphic* command) override;
  [[nodiscard]] GStatus onPolygon(GPolygonGraphic* command) override;
  [[nodiscard]] GStatus onRectangle(GRectangleGraphic* command) override;
  [[nodiscard]] GStatus onRaster(GRasterGraphic* command) override;
  [[nodiscard]] GStatus onRoundedRectangle(GRoundedRectangleGraphic* command) override;
  [[nodiscard]] GStatus onScanLine(GScanLineGraphic* command) override;
  [[nodiscard]] GStatus onStartScanLine(GStartScanLine* command) override;
  [[nodiscard]] GStatus onTextString(GTextStringGraphic*) override { return recordName("onTextString"); }
  [[nodiscard]] GStatus onDownloadFace(GDownloadFace*) override { return recordName("onDownloadFace"); }
  // The five job-state handlers do what the stage does, then answer the
  // scripted status when one is set.
  [[nodiscard]] GStatus onDocumentStart(GDocumentStart* command) override;
  [[nodiscard]] GStatus onDocumentEnd(GDocumentEnd* command) override;
  [[nodiscard]] GStatus onManualDuplexFirstHalf(GManualDuplexFirstHalf* command) override;
  [[nodiscard]] GStatus onPageStart(GPageStart* command) override;
  [[nodiscard]] GStatus onPageEnd(GPageEnd* command) override;
  [[nodiscard]] GStatus onJobAbort(GJobAbort* command) override;
  [[nodiscard]] GStatus onErrorCommand(GErrorCommand* command) override;
  [[nodiscard]] GStatus onPassThrough(GPassThroughCommand*) override { return recordName("onPassThrough"); }
  [[nodiscard]] GStatus onDownloadHeader(GDownloadHeaderCommand*) override { return recordName("onDownloadHeader"); }
  [[nodiscard]] GStatus onTextGraphic(GTextGraphic*) override { return recordName("onTextGraphic"); }

  // ---- attributes --------------------------------------------------------------
  [[nodiscard]] GStatus onBrush(GBrush* attribute) override;
  [[nodiscard]] GStatus onCap(GCap* attribute) override;
  [[nodiscard]] GStatus onClipToPage(GClipToPage* attribute) override;
  [[nodiscard]] GStatus onClipToPath(GClipToPath* attribute) override;
  [[nodiscard]] GStatus onClipToRectangle(GClipToRectangle* attribute) override;
  [[nodiscard]] GStatus onClipToSingleRectangle(GClipToSingleRectangle* attribute) override;
  [[nodiscard]] GStatus onColorMap(GColorMap* attribute) override;
  [[nodiscard]] GStatus onDashedPen(GDashedPen* attribute) override;
  [[nodiscard]] GStatus onFillMode(GFillMode* attribute) override;
  [[nodiscard]] GStatus onHalftone(GHalftone* attribute) override;
  [[nodiscard]] GStatus onJoint(GJoint* attribute) override;
  [[nodiscard]] GStatus onMiterJoint(GMiterJoint* attribute) override;
  [[nodiscard]] GStatus onNoBrush(GNoBrush* attribute) override;
  [[nodiscard]] GStatus onNoPen(GNoPen* attribute) override;
  [[nodiscard]] GStatus onPen(GPen* attribute) override;
  [[nodiscard]] GStatus onRasterOperation(GRasterOperation* attribute) override;
  [[nodiscard]] GStatus onValueAttribute(GValueAttribute* attribute) override;
  [[nodiscard]] GStatus onStringAttribute(GStringAttribute* attribute) override;
  [[nodiscard]] GStatus onEnumAttribute(GEnumAttribute* attribute) override;
  [[nodiscard]] GStatus onRangeAttribute(GRangeAttribute* attribute) override;
  [[nodiscard]] GStatus onCheetah(GCheetah*) override { return recordName("onCheetah"); }
  [[nodiscard]] GStatus onPcl5e(GPcl5e*) override { return recordName("onPcl5e"); }
  [[nodiscard]] GStatus onPostScript(GPostScript*) override { return recordName("onPostScript"); }
  [[nodiscard]] GStatus onPJL(GPJL*) override { return recordName("onPJL"); }
  [[nodiscard]] GStatus onMedia(GMedia*) override { return recordName("onMedia"); }
  [[nodiscard]] GStatus onTray(GTray*) override { return recordName("onTray"); }
  [[nodiscard]] GStatus onTransformAttribute(GTransformAttribute* attribute) override;

 private:
  // Logs the call and answers its scripted status (else `otherwise`).
  [[nodiscard]] GStatus record(const char* handler, const MPersistentObject* object, GStatus otherwise = 0);
  [[nodiscard]] GStatus recordName(const char* handler);
  // record, and the attribute's changed flag cleared: consumed.
  [[nodiscard]] GStatus consume(const char* handler, GAttribute* attribute);

  std::vector<Call> calls_;
  std::map<std::string, GStatus> byHandler_;
  std::map<const MPersistentObject*, GStatus> byObject_;
  std::set<RWClassID> swallowed_;
  std::set<RWClassID> disablers_;
};

RW_DECLARE_RESTORE_OPERATORS(RecordingPeripheral)

#endif

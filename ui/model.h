#ifndef UI_MODEL_H
#define UI_MODEL_H

// The models a control shows and the rules that keep the settings
// consistent after each user action.
//
// A GUIObject answers the display state of its controls (0 shown, 1 shown
// disabled, 2 hidden, other values leave the items alone). A GFeatureModel
// stands for one value attribute of the settings: it reads 0 for a missing
// one and never creates it. A GFeatureRule is told the ids changed in the
// last pass of the session's rule loop; its levels live in the scratch
// group as ordinary recorded changes, so the rules watching a level run
// again in the next pass.

#include <cstdint>
#include <vector>

class GUISession;

class GUIObject {
 public:
  explicit GUIObject(GUISession* session) : session_(session) {}
  GUIObject(const GUIObject&) = delete;
  GUIObject& operator=(const GUIObject&) = delete;
  virtual ~GUIObject();
  virtual int16_t state();
  virtual uint32_t hostFlags();

  // The settings' value, 0 when absent.
  int16_t settingsValue(uint32_t id) const;
  GUISession* session() const { return session_; }

 private:
  GUISession* session_;
};

class GFeatureModel : public GUIObject {
 public:
  GFeatureModel(GUISession* session, uint32_t id) : GUIObject(session), id_(id) {}
  int16_t state() override;
  // True when written or already equal; false when the attribute is
  // missing.
  virtual bool setValue(int16_t value);
  // The current update holds an undo record for the attribute.
  virtual bool changed();
  virtual int16_t value();

  uint32_t id() const { return id_; }

 private:
  uint32_t id_;
};

class GFeatureRule {
 public:
  explicit GFeatureRule(GUISession* session) : session_(session) {}
  GFeatureRule(const GFeatureRule&) = delete;
  GFeatureRule& operator=(const GFeatureRule&) = delete;
  // The session deletes its rules through here, so a rule's members go
  // with it.
  virtual ~GFeatureRule();
  virtual void reset();
  virtual void evaluate(const std::vector<uint32_t>& changed, bool all) = 0;
  virtual int32_t query(int32_t argument);
  // Raises the scratch value to the level (creating it); never lowers it.
  virtual void raiseLevel(uint32_t id, int16_t level);
  // Sets the scratch value to 0, creating it.
  virtual void clearLevel(uint32_t id);

  GUISession* session() const { return session_; }

 private:
  GUISession* session_;
};

#endif

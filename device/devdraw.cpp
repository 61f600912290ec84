// The device's drawing state: the bundle being filled for the next graphic
// command, the line cap and join in force, the saved drawing states, the
// paths recorded with the path escapes and the clip made from them; and the
// pass-through commands.

#include <algorithm>

#include "core/attrids.h"
#include "device/device.h"
#include "device/sinks.h"
#include "graphics/clip.h"
#include "graphics/gattrib.h"
#include "graphics/lineattr.h"
#include "core/valattr.h"
#include "journal/passthru.h"
#include "journal/path.h"

namespace {

// A pass-through command's length is 16-bit and a sink's downstream length
// signed 16-bit: longer data goes as several commands of at most this.
constexpr int32_t kLongestPassThrough = 32767;

template <class T>
T* held(const GCountedPtr& pointer) {
  return dynamic_cast<T*>(pointer.get());
}

// A copy of a recorded path, sharing its pieces.
GPathGraphic* copyOf(const GPathGraphic& path) { return new GPathGraphic(path); }

}  // namespace

// ---- bundle, cap and join --------------------------------------------------------

GGraphicBundle* GDevice::currentBundle() {
  GCountedPtr& current = currentObjects_[kCurrentBundle];
  if (auto* bundle = held<GGraphicBundle>(current)) {
    // A bundle a command holds is that command's for good.
    if (bundle->references() == 1) {
      bundle->clear();
      return bundle;
    }
  }
  auto* bundle = new GGraphicBundle;
  current = bundle;
  return bundle;
}

GGraphicAttribute* GDevice::capFor(int32_t cap) {
  GCountedPtr& cached = currentObjects_[kCachedCap];
  auto* current = held<GCap>(cached);
  if (!current || current->cap() != cap) {
    current = new GCap(cap, 0);
    cached = current;
  }
  if (lastSentCap_.get() == current) return nullptr;
  lastSentCap_ = GCountedRef(current);
  return current;
}

GGraphicAttribute* GDevice::jointFor(int32_t join, GReal miterLimit) {
  GGraphicAttribute* result = nullptr;
  if (join != 0) {
    GCountedPtr& cached = currentObjects_[kCachedJoint];
    auto* joint = held<GJoint>(cached);
    if (!joint || joint->join() != join) {
      joint = new GJoint(join, 0);
      cached = joint;
    }
    result = joint;
  } else {
    GCountedPtr& cached = currentObjects_[kCachedMiterJoint];
    auto* miter = held<GMiterJoint>(cached);
    if (!miter || miter->miterLimit() != miterLimit) {
      miter = new GMiterJoint(miterLimit, 0);
      cached = miter;
    }
    result = miter;
  }
  return lastSentJoin_.get() == result ? nullptr : result;
}

void GDevice::setLastSentJoin(GGraphicAttribute* join) { lastSentJoin_ = GCountedRef(join); }

// ---- paths ------------------------------------------------------------------------

uint32_t GDevice::beginPath() {
  if (pathDepth_ == 0) {
    if (!currentPath_) currentPath_.reset(new GPathGraphic);
  } else {
    if (currentPath_) pathStack_.push_back(std::move(currentPath_));
    currentPath_.reset(new GPathGraphic);
  }
  pathWords_[0] = pathWords_[1] = 0;
  return ++pathDepth_;
}

uint16_t GDevice::endPath(int32_t mode) {
  if (pathDepth_ > 0) --pathDepth_;
  if (currentPath_) {
    if (pathDepth_ == 0) {
      finishPath(mode);
    } else {
      if (closesNestedPath(mode)) currentPath_->setClosed();
      if (!pathStack_.empty()) {
        std::unique_ptr<GPathGraphic, Deleter> outer = std::move(pathStack_.back());
        pathStack_.pop_back();
        outer->insert(currentPath_.release());
        currentPath_ = std::move(outer);
      }
    }
  }
  pathWords_[0] = pathWords_[1] = 0;
  return static_cast<uint16_t>(pathDepth_);
}

int32_t GDevice::clipToPath(int32_t mode, int32_t kind) {
  GGraphicBundle* bundle = currentBundle();
  switch (kind) {
    case 0:
      saveDrawingState();
      return 1;
    case 1:
      restoreDrawingState();
      return 1;
    case 2:
    case 3:
      break;
    default:
      return 0;
  }
  if (!currentPath_) {
    clipPath_.reset();
    bundle->setClip(new GClipToPage(AttrId::Clip));
    pathWords_[1] = 0;
    return 1;
  }
  const int32_t region = kind == 2 ? 0 : 1;
  const int32_t fillRule = kind == 2 && mode != 1 ? 1 : 0;
  clipPath_.reset(new GClipToPath(copyOf(*currentPath_), region, fillRule, AttrId::Clip));
  bundle->setClip(new GClipToPath(*clipPath_));
  pathWords_[1] = 0;
  currentPath_.reset();
  return 1;
}

void GDevice::saveDrawingState() {
  SavedState saved{cap_, join_, miterLimit_, savedStateWord_, nullptr};
  if (clipPath_) saved.clip.reset(new GClipToPath(*clipPath_));
  savedStates_.push_back(std::move(saved));
}

void GDevice::restoreDrawingState() {
  GGraphicBundle* bundle = currentBundle();
  if (savedStates_.empty()) {
    clipPath_.reset();
    bundle->setClip(new GClipToPage(AttrId::Clip));
    pathWords_[1] = 0;
    return;
  }
  SavedState saved = std::move(savedStates_.back());
  savedStates_.pop_back();
  cap_ = saved.cap;
  join_ = saved.join;
  miterLimit_ = saved.miterLimit;
  savedStateWord_ = saved.savedStateWord;
  clipPath_ = std::move(saved.clip);
  if (GGraphicAttribute* cap = capFor(static_cast<int32_t>(cap_))) bundle->setCap(cap);
  if (GGraphicAttribute* join = jointFor(static_cast<int32_t>(join_), miterLimit_)) bundle->setJoint(join);
  if (clipPath_)
    bundle->setClip(new GClipToPath(*clipPath_));
  else
    bundle->setClip(new GClipToPage(AttrId::Clip));
  pathWords_[1] = 0;
}

void GDevice::discardDrawingState() {
  pathDepth_ = 0;
  pathStack_.clear();
  currentPath_.reset();
  savedStates_.clear();
  clipPath_.reset();
  pathWords_[0] = pathWords_[1] = 0;
  lastSentCap_ = GCountedRef();
  lastSentJoin_ = GCountedRef();
}

// ---- pass-through -----------------------------------------------------------------

GStatus GDevice::makePassThrough(const uint8_t* data, int32_t length, RWClassID target, int32_t withAttribute,
                                 int32_t mark, int32_t asDrawing) {
  if (length < 0 || (length > 0 && !data)) length = 0;
  GStatus status = 0;
  int32_t offset = 0;
  do {
    const int32_t piece = std::min(length - offset, kLongestPassThrough);
    auto* command = new GPassThroughCommand(data ? data + offset : nullptr, static_cast<uint16_t>(piece), target);
    if (withAttribute) {
      auto* bundle = new GGraphicBundle;
      bundle->insert(new GValueAttribute(1, AttrId::PassThrough));
      command->setAttribute(bundle);
    }
    // The gate lets everything through until the marked command passes;
    // each piece is marked in turn.
    if (mark) gate_->mark(command);
    bool sent = true;
    if (!postScript_ || asDrawing) {
      status = sendDrawingReporting(command, sent);
    } else {
      const GCommandPtr hold(command);
      status = send(command);
    }
    // A mark on a command that never reached the gate would outlive it.
    if (mark && !sent) gate_->unmark();
    offset += piece;
    if (status != 0) break;
  } while (offset < length);
  return status;
}

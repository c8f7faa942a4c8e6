#pragma once
// The editor host: an ordered list of controls (index 0, the background, at the bottom; hit
// testing runs from the top), the bitmap they draw into, the 25 fps tick that collects dirty
// areas and runs idle work, the dispatch of mouse and key events to controls, the binding of
// controls to parameters both ways, and the value prompts (a menu of display texts or a text
// entry, drawn by the editor itself over its controls).
//
// The platform part is an IGraphicsView: the editor asks it to invalidate, to present the draw
// bitmap and the controls' own images, and for a few services. Without a view the editor still
// builds, binds and draws into memory.
//
// Threads: drawing, resizing and events run on the editor's thread under the editor mutex;
// SetParameterFromPlug may come from the host's parameter path (under the plug-in mutex) and
// takes no lock. Lock order: editor mutex first, then the plug-in mutex; never the other way.

#include "editor/BitmapResources.h"
#include "editor/DirtyRegion.h"
#include "editor/IControlTypes.h"
#include "editor/IPopupMenu.h"
#include "framework/IPlugEditor.h"
#include "framework/WDL_Mutex.h"
#include "framework/WDL_PtrList.h"
#include "framework/WDL_String.h"

#include <cstdint>

class IControl;
class IGraphicsView;
class IParam;
class IPlugBase;
class IPromptOverlay;
class LICE_IBitmap;
class LICE_MemBitmap;

// A key as a view reports it: one of the named keys, or the characters the key produced
// (ignoring modifiers).
struct IKeyDescription
{
    enum ENamedKey
    {
        kNone = 0,
        kSpace,
        kUp,
        kDown,
        kLeft,
        kRight,
        kReturn,
        kEscape,
        kBackspace,
        kDelete,
        kTab
    };
    ENamedKey named = kNone;
    // The characters the key produced, as Unicode code points; only single characters count.
    int character = 0;
    int characterCount = 0;

    static IKeyDescription Named(ENamedKey key, int character = 0);
};

class IGraphics : public IPlugEditor
{
public:
    static constexpr int kDefaultFPS = 25;
    static constexpr const char* kDefaultBundleID = "com.Tarnwel.audiounit.TW-Parandel";
    // Key numbers: not given to the controls, passed on to the host / next responder.
    static constexpr int kKeyPassOn = -2;
    // Key numbers: dropped without being passed on.
    static constexpr int kKeyDropped = -3;
    // The modifier-change pseudo key.
    static constexpr int kKeyModifiers = -1;

    // fps <= 0 means 25 frames per second.
    IGraphics(IPlugBase* plug, int width, int height, int fps = 0);
    ~IGraphics() override;

    IGraphics(const IGraphics&) = delete;
    IGraphics& operator=(const IGraphics&) = delete;

    // ---- Construction ----
    // Loads the bitmap and puts a copying bitmap control of its size at index 0.
    void AttachBackground(int resourceId, const char* fileName);
    // Appends; the new control's index.
    int AttachControl(IControl* control);
    // The draw and scratch bitmaps at the editor size.
    void AllocateDrawBitmaps() override;

    // ---- Controls ----
    int NControls() const { return mControls.GetSize(); }
    IControl* GetControl(int idx) const { return mControls.Get(idx); }
    // Index of the control that takes the mouse at (x, y): the captured one while captured,
    // else the topmost visible, hit, not transparent and not grayed one (grayed ones count for
    // mouse-over when they ask to); -1 when none.
    int ControlAtPoint(int x, int y, bool forMouseOver = false);
    void SetStrictDrawing(bool strict) { mStrictDrawing = strict; }
    void SetHandleMouseOver(bool handle) { mHandleMouseOver = handle; }

    // ---- Parameter binding ----
    // Passes the value (real unless normalized) to every control bound to the parameter. Takes
    // no lock.
    void SetParameterFromPlug(int paramIdx, double value, bool normalized) override;

    // ---- The tick and drawing ----
    // Union of the dirty controls' rectangles; empty when nothing is dirty.
    IRECT CollectDirtyRect();
    // One timer tick: collects the dirty area, runs idle work on every second tick and asks the
    // view to redraw each dirty control's rectangle (nothing when none is dirty) and to show the
    // controls' own images again when one of them has something new. Returns the dirty area.
    IRECT OnTimerTick();
    // Draws the controls that meet the region into the draw bitmap, then presents the region's
    // parts (and any control drawn outside them) and the controls' own images through the view
    // (an empty region: the images alone). Takes the editor mutex.
    bool DrawRegion(const DirtyRegion& region);
    bool DrawRegion(const IRECT& rect);
    // Shows the draw bitmap (all when rect is null) through the view.
    void PresentFrame(const IRECT* rect);
    // Each control's own image (RenderGL) through the view, over its rectangle; true when one
    // of them is new.
    bool PresentGLControls(bool render);
    int FPS() const { return mFPS; }
    int IdleTicks() const { return mIdleTicks; }

    // ---- Events (editor coordinates, y downward) ----
    void HandleMouseDown(int x, int y, const IMouseMod& mod);
    void HandleMouseUp(int x, int y, const IMouseMod& mod);
    void HandleMouseDrag(int x, int y, const IMouseMod& mod);
    // True when the control took the double click as a single press.
    bool HandleMouseDoubleClick(int x, int y, const IMouseMod& mod);
    void HandleMouseWheel(int x, int y, const IMouseMod& mod, double delta);
    void HandleMouseOver(int x, int y, const IMouseMod& mod);
    // A key given to the controls by its number (KeyNumber); true when one of them took it.
    bool HandleKeyDown(int x, int y, int key, const IMouseMod& mod);
    // A key from the view: an open prompt takes it first, then the controls at the last mouse
    // position. False when nobody took it (the view passes it on).
    bool HandleKey(const IKeyDescription& key, const IMouseMod& mod);
    // The editor's number for a key: space 0, arrows up/down/left/right 1..4, digits 5..14,
    // letters 15..40 (either case), other single characters 41; kKeyPassOn for control
    // characters (below 13) and unnamed keys, kKeyDropped for anything but one character.
    static int KeyNumber(const IKeyDescription& key);
    void ReleaseMouseCapture();
    int GetMouseCapture() const { return mMouseCapture; }
    void SetLastMousePosition(int x, int y)
    {
        mPrevX = x;
        mPrevY = y;
    }

    // ---- Prompts ----
    // A menu of the display texts (enum and bool parameters with texts) or a text entry holding
    // the value; nothing without a control, a parameter or a rectangle.
    void PromptUserInput(IControl* control, IParam* param, const IRECT* rect);
    // Opens the editor-drawn text entry over rect; false when one is open or control is null.
    virtual bool CreateTextEntry(IControl* control, const IText& text, const IRECT& rect,
                                 const char* str, IParam* param);
    // Opens the editor-drawn menu under rect; the choice arrives later through the control.
    virtual bool CreatePopupMenu(IPopupMenu* menu, const IRECT& rect, IControl* control,
                                 IParam* param);
    // The text of a finished entry: enum/bool parameters by display text (0 when none
    // matches), others as a decimal number (negated for negateDisplay), then the control's
    // SetValueFromUser. Without a parameter the control receives the text.
    void SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text);
    // A menu item was chosen (-1: dismissed).
    void SetFromMenuAfterPrompt(IControl* control, IParam* param, int chosenIdx);
    // A short message inside the editor (INoticeOverlay) until a click or a key; false while
    // another prompt is open.
    bool ShowNotice(const char* text);
    // Closes an open entry or menu without a value.
    virtual void ForceEndUserEdit();
    bool IsPromptOpen() const { return mPrompt != nullptr; }
    IPromptOverlay* GetPrompt() const { return mPrompt; }

    // ---- Text ----
    // Draws the text in the rectangle with the style (clipped to the draw rectangle).
    bool DrawIText(IText* text, const char* str, IRECT* rect);
    // Rewrites rect to the text's extent as the style's alignment places it.
    virtual bool MeasureIText(IText* text, const char* str, IRECT* rect);

    // ---- Drawing into the draw bitmap, clipped to the draw rectangle ----
    // Frame is 1-based; blend may be null (alpha copy at weight 1).
    bool DrawBitmap(const BitmapRef* bitmap, const IRECT* rect, int frame,
                    const IChannelBlend* blend);
    // The bitmap rotated by angle degrees about its centre placed at (destCtrX, destCtrY).
    bool DrawRotatedBitmap(const BitmapRef* bitmap, int destCtrX, int destCtrY, double angle,
                           int yOffsetZeroDeg = 0, const IChannelBlend* blend = nullptr);
    // base, with mask rotated by angle over it, then top, all centred at (x, y).
    bool DrawRotatedMask(const BitmapRef* base, const BitmapRef* mask, const BitmapRef* top,
                         int x, int y, double angle, const IChannelBlend* blend = nullptr);
    bool DrawLine(const IColor* color, float x1, float y1, float x2, float y2,
                  const IChannelBlend* blend = nullptr, bool antiAlias = false);
    // A line from radius rMin to rMax at angle degrees (0 up, clockwise) about (cx, cy).
    bool DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin,
                        float rMax, const IChannelBlend* blend = nullptr, bool antiAlias = false);
    bool FillIRect(const IColor* color, const IRECT* rect, const IChannelBlend* blend = nullptr);

    // ---- Window ----
    // Opens the view (the editor keeps it until CloseWindow) into parent; returns the view's
    // window, or null when the view cannot host the editor. The editor does not own the view.
    virtual void* OpenWindow(IGraphicsView* view, void* parent = nullptr);
    virtual void CloseWindow();
    virtual bool WindowIsOpen() const { return mView != nullptr; }
    virtual void* GetWindow() const;
    IGraphicsView* GetView() const { return mView; }
    // Controls release their platform images (the view's context is going).
    void ReleaseGLResources();
    // New size: capture released, every control deleted, new draw bitmaps, the plug-in told.
    // Nothing when the size is unchanged.
    void Resize(int width, int height) override;

    // ---- Services ----
    virtual const char* GetGUIAPI() const { return "Offscreen GUI"; }
    // Opens a document or URL with the desktop's default application (xdg-open, never a
    // shell). False when it could not be started.
    virtual bool OpenURL(const char* url);
    virtual int ShowMessageBox(const char* text, const char* caption, int type);
    virtual bool GetTextFromClipboard(WDL_String* text);
    virtual void HideMouseCursor();
    virtual void ShowMouseCursor();
    virtual void GetScreenDimensions(int* width, int* height);
    virtual bool PromptForColor(IColor* /*color*/, const char* /*prompt*/) { return false; }
    // The folder of the running program followed by "/".
    virtual void PluginPath(WDL_String* path);
    virtual void HostPath(WDL_String* path);
    virtual void DesktopPath(WDL_String* path);
    virtual void AppSupportPath(WDL_String* path, bool isSystem = false);
    virtual void SamplePath(WDL_String* path);
    // Full path of a bundle resource by its base name and type.
    virtual void ResourcePath(const char* fileName, WDL_String* path);
    void SetBundleID(const char* id) { mBundleID.Set(id); }
    const char* GetBundleID() const { return mBundleID.Get(); }

    // ---- Display scale ----
    // The scales the editor is drawn at: every bitmap has art made for each.
    static constexpr double kScales[] = {1.0, 1.5, 2.0};
    // The supported scale nearest to the wanted one (1 for anything not above 0).
    static double NearestScale(double wanted);
    // Draws the editor at the supported scale nearest to `scale`: the draw bitmap, the window
    // and every image grow by it while the layout, the controls' rectangles and the events stay
    // in editor units. Only while no window is open (false otherwise).
    bool SetScale(double scale);
    double Scale() const { return mScale; }
    // The editor's size in device pixels.
    int PixelWidth() const;
    int PixelHeight() const;

    // ---- Accessors ----
    int Width() const override { return mWidth; }
    int Height() const override { return mHeight; }
    IPlugBase* GetPlug() const { return mPlug; }
    WDL_Mutex* GetMutex() override { return &mMutex; }

private:
    // Draws the controls that meet the rectangle (all of a dirty one's neighbours when drawing
    // is not strict) into the draw bitmap; what was drawn is added to `drawn`.
    void DrawControls(const IRECT& rect, DirtyRegion* drawn);
    void DrawPrompt();
    void ClosePrompt();
    // The draw rectangle in device pixels.
    IRECT PixelClip() const { return ScaleRect(mDrawRECT, mScale); }
    // The image a bitmap reference shows at the editor's scale.
    LICE_IBitmap* ImageAtScale(const BitmapRef* bitmap) const;

    WDL_Mutex mMutex;
    WDL_PtrList<IControl> mControls;
    IPlugBase* mPlug;
    IRECT mDrawRECT;
    bool mCursorHidden = false;
    int mHiddenMouseX = -1;
    int mHiddenMouseY = -1;
    LICE_MemBitmap* mDrawBitmap = nullptr;
    LICE_MemBitmap* mScratchBitmap = nullptr;
    int mWidth;
    int mHeight;
    double mScale = 1.0;
    int mFPS;
    int mIdleTicks = 0;
    int mMouseCapture = -1;
    int mMouseOver = -1;
    int mMouseX = 0;
    int mMouseY = 0;
    int mPrevX = 0; // last mouse position the view reported, for key events
    int mPrevY = 0;
    bool mHandleMouseOver = false;
    bool mStrictDrawing = true;
    bool mEnableTooltips = false;
    IGraphicsView* mView = nullptr;
    IPromptOverlay* mPrompt = nullptr;
    WDL_String mBundleID{kDefaultBundleID};
};

// The plug-in's editor, or null without one.
IGraphics* GetGUI(const IPlugBase& plug);

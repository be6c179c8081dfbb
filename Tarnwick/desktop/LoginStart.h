#pragma once

// Whether the application starts when the user logs in. Views ask and set through this alone; the
// freedesktop backend (XdgAutostart) keeps the answer where the session reads it, so what a view
// shows is what the next login will do.
class LoginStart
{
public:
    virtual ~LoginStart() = default;

    // Asked anew each time: the user may have changed it outside the application.
    virtual bool isEnabled() const = 0;
    // The user's own choice, remembered so that enableByDefault() never overrides it. False when it
    // could not be applied (nothing is remembered then).
    virtual bool setEnabled(bool enabled) = 0;
    // Turns starting at login on unless it was chosen before, by the user or by an earlier default.
    // True when it turned it on.
    virtual bool enableByDefault() = 0;
};

#pragma once

class Filter;
class Model;
class QWidget;

// Before an export: a delta that would delete more than half of what the
// bases hold is most often a feed that came back cut short or empty, and
// would wipe the site. The user is asked before such an export runs.
class DeleteConfirmation final
{
public:
    static constexpr double kThresholdPercent = 50.0;

    // True when the export may run: the share is below the threshold or the
    // user agreed to it.
    static bool Ask(QWidget *parent, const Model &model, const Filter *filter);

private:
    DeleteConfirmation() = delete;
};

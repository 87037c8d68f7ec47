#include "share_run.h"

#include <algorithm>
#include <optional>

#include "change_log.h"
#include "ordered_pool.h"

namespace corvane {

std::wstring outcome_text(Outcome outcome) {
  switch (outcome) {
    case Outcome::not_done: return L"not done";
    case Outcome::created: return L"created";
    case Outcome::updated: return L"updated";
    case Outcome::deleted: return L"deleted";
    case Outcome::failed: return L"failed";
    case Outcome::unchanged: return L"unchanged";
    case Outcome::left: return L"left";
    case Outcome::would_revoke: return L"would revoke";
    case Outcome::revoked: return L"revoked";
  }
  return L"failed";
}

size_t CommandReport::succeeded() const {
  size_t n = 0;
  for (const ShareOutcome& o : outcomes) n += o.ok ? 1 : 0;
  return n;
}

size_t CommandReport::failed() const { return outcomes.size() - succeeded(); }

std::wstring command_summary(const CommandReport& report, bool add) {
  size_t ok = report.succeeded(), bad = report.failed();
  std::wstring s = report.stopped ? L"Stopped: " : L"";
  s += std::to_wstring(ok) + (ok == 1 ? L" share " : L" shares ") + (add ? L"added or updated" : L"deleted");
  if (bad) {
    s += L", " + std::to_wstring(bad) + L" failed - see Log";
    for (const ShareOutcome& o : report.outcomes)
      if (!o.ok) {
        s += L" (" + o.object + L": " + o.detail + L")";
        break;
      }
  }
  if (!report.log_error.empty()) s += L". " + report.log_error;
  return s;
}

size_t ticked_count(const DriveList& list) {
  size_t n = 0;
  for (size_t i = 0; i < list.count(); ++i)
    if (list.ticked(i)) ++n;
  return n;
}

std::vector<RunTarget> run_targets(const DriveList& list, const std::wstring& pattern) {
  std::vector<RunTarget> targets;
  for (size_t i = 0; i < list.count(); ++i) {
    if (!list.ticked(i)) continue;
    RunTarget t{i, list.text(i), share_target(list.text(i), pattern), {}};
    if (!t.target.usable) continue;
    t.object = t.target.server + L"\\" + t.target.share;
    targets.push_back(t);
  }
  return targets;
}

std::wstring RunLog::error() const {
  std::lock_guard<std::mutex> hold(lock_);
  return error_;
}

void RunLog::refuse(const std::wstring& error) {
  std::lock_guard<std::mutex> hold(lock_);
  error_ = error;
  lost_ = true;
}

bool RunLog::put(const std::wstring& line, bool durable) {
  if (durable && lost_) return false;
  LogResult r = log_.write(line, durable);
  if (r.ok()) return true;
  std::lock_guard<std::mutex> hold(lock_);
  if (!lost_) {
    error_ = L"A line could not be written to " + log_.where() + L" (" + r.text +
             L") No further share change was started, so that every change stays on record.";
    lost_ = true;
  }
  return false;
}

const wchar_t kNoRecord[] = L"not changed: its record could not be written to the change log";
const wchar_t kLogLost[] = L"the change log cannot be written";

ShareOutcome fail(ShareOutcome& out, const std::wstring& why) {
  out.ok = false;
  out.result = Outcome::failed;
  out.detail = why;
  return out;
}

ShareOutcome not_done(ShareOutcome& out) {
  out.ok = false;
  out.result = Outcome::not_done;
  out.detail = kLogLost;
  return out;
}

ShareOutcome begin(const RunTarget& target, const RunLog& log, bool& go) {
  ShareOutcome out;
  out.item = target.item;
  out.object = target.object;
  go = !log.lost();
  if (!go) not_done(out);
  return out;
}

CommandReport over_items(const std::vector<RunTarget>& targets, unsigned parallel, bool com, bool changes,
                         DriveList& list, ChangeLog& log, CommandProgress* progress,
                         const std::function<ShareOutcome(const RunTarget&, RunLog&)>& command,
                         const std::function<int(const ShareOutcome&)>& marker) {
  CommandReport report;
  report.outcomes.resize(targets.size());
  std::vector<std::vector<size_t>> groups;  // positions in `targets`, grouped by share
  std::vector<std::wstring> objects;
  for (size_t k = 0; k < targets.size(); ++k) {
    report.outcomes[k].item = targets[k].item;
    report.outcomes[k].object = targets[k].object;
    size_t g = 0;
    while (g < objects.size() && !same_name(objects[g], targets[k].object)) ++g;
    if (g == objects.size()) {
      objects.push_back(targets[k].object);
      groups.emplace_back();
    }
    groups[g].push_back(k);
  }

  RunLog run_log(log);
  std::optional<LogHold> hold;
  if (changes) {
    hold.emplace(log, [&] { return !progress || progress->pump(); });
    if (!hold->result().ok())
      run_log.refuse(L"The change log cannot be had: " + hold->result().text + L". No share was changed.");
  }
  size_t done = 0;
  OrderedPool pool;
  pool.com = com;
  pool.job = [&](size_t g, size_t) {
    for (size_t k : groups[g]) report.outcomes[k] = command(targets[k], run_log);
  };
  pool.deliver = [&](size_t g) {
    for (size_t k : groups[g])
      if (int m = marker(report.outcomes[k])) list.set_marker(targets[k].index, m);
    done += groups[g].size();
    if (progress) progress->done(done, targets.size());
  };
  pool.pump = [&] {
    if (progress && !progress->pump()) report.stopped = true;
    return !report.stopped && !run_log.lost();
  };
  pool.run(groups.size(), std::max(1u, parallel));
  report.log_error = run_log.error();
  for (ShareOutcome& o : report.outcomes)
    if (o.result == Outcome::not_done && o.detail.empty())
      o.detail = report.stopped ? L"stopped before this drive" : kLogLost;
  return report;
}

}  // namespace corvane

#pragma once
// The models of a run converted and reported: one model's lines as they
// come; a folder's models side by side, each model's lines whole and in
// model order, then the summary and the page.

namespace bw {

struct TContext;
struct TRunInputs;
struct TRunPlan;

// Converts every model of the plan and reports them; the exit status.
int RunJobs(const TContext& ctx, const TRunInputs& run, const TRunPlan& plan);

}  // namespace bw

#!/usr/bin/python3
"""Checks a GitHub Actions workflow file that cannot run here: it must parse as YAML and have the
shape the workflow syntax asks for (a name, triggers, and jobs that each name a machine and list
steps, every step either running a command or using an action).

    check_workflow.py WORKFLOW.yml...
"""

import sys

import yaml


def problems(path):
    with open(path, encoding="utf-8") as f:
        workflow = yaml.safe_load(f)
    if not isinstance(workflow, dict):
        yield "not a mapping"
        return
    if "name" not in workflow:
        yield "no name"
    # YAML 1.1 reads a bare "on" as true.
    if "on" not in workflow and True not in workflow:
        yield "no triggers (on:)"
    jobs = workflow.get("jobs")
    if not isinstance(jobs, dict) or not jobs:
        yield "no jobs"
        return
    for name, job in jobs.items():
        if not isinstance(job, dict) or "runs-on" not in job:
            yield f"job {name}: no runs-on"
            continue
        steps = job.get("steps")
        if not isinstance(steps, list) or not steps:
            yield f"job {name}: no steps"
            continue
        for number, step in enumerate(steps, 1):
            if not isinstance(step, dict) or ("run" in step) == ("uses" in step):
                yield f"job {name}, step {number}: needs exactly one of run and uses"


def main():
    failed = False
    for path in sys.argv[1:]:
        for problem in problems(path):
            print(f"{path}: {problem}", file=sys.stderr)
            failed = True
        if not failed:
            print(f"{path}: parses and has the workflow's shape")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

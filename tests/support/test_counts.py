"""Counts of a test run, read from ctest's JUnit file (ctest --output-junit) or
GoogleTest's XML file (--gtest_output=xml), which both list one <testcase> per test.

Usage: test_counts.py total FILE    prints "PASSED FAILED SKIPPED"
       test_counts.py each FILE     prints "NAME PASSED FAILED SKIPPED SECONDS" for each test
       test_counts.py failed FILE   prints the name of each failed test
       test_counts.py output FILE DIR PREFIX   writes each test's output to DIR/PREFIX<name>.log,
                                    <name> without the part up to its first dot
A file that is missing or not such XML exits 1 with the reason, so it counts as a failure.
"""
import sys
import xml.etree.ElementTree as ElementTree


def outcome(case):
    """'failed', 'skipped' or 'passed'; ctest marks it in status, GoogleTest in result."""
    if case.find("failure") is not None or case.find("error") is not None or case.get("status") == "fail":
        return "failed"
    if case.find("skipped") is not None or case.get("status") in ("notrun", "disabled") or \
            case.get("result") == "skipped":
        return "skipped"
    return "passed"


def name_of(case):
    suite, name = case.get("classname", ""), case.get("name", "?")
    return name if suite in ("", name) else suite + "." + name


def main(mode, path, *more):
    try:
        cases = ElementTree.parse(path).getroot().iter("testcase")
    except (OSError, ElementTree.ParseError) as error:
        sys.exit("no test results in %s: %s" % (path, error))
    cases = list(cases)
    if mode == "total":
        outcomes = [outcome(case) for case in cases]
        print(outcomes.count("passed"), outcomes.count("failed"), outcomes.count("skipped"))
    elif mode == "each":
        for case in cases:
            result = outcome(case)
            print(name_of(case), int(result == "passed"), int(result == "failed"), int(result == "skipped"),
                  round(float(case.get("time", 0))))
    elif mode == "failed":
        for case in cases:
            if outcome(case) == "failed":
                print(name_of(case))
    elif mode == "output" and len(more) == 2:
        for case in cases:
            name = case.get("name", "?").split(".", 1)[-1]
            with open("%s/%s%s.log" % (more[0], more[1], name), "w") as log:
                log.write(case.findtext("system-out") or "")
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(*sys.argv[1:])

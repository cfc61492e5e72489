# Scenario corpus against the native program on the simulated desktop.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(scenario_runner ${CMAKE_CURRENT_SOURCE_DIR}/scenarios/run_scenarios.py)

add_test(NAME scenarios
    COMMAND Python3::Interpreter ${scenario_runner} --exe $<TARGET_FILE:quillex>
            ${CMAKE_CURRENT_SOURCE_DIR}/scenarios/corpus)

# The runner itself must fail, with a diff, on a wrong expectation.
add_test(NAME scenario_runner_reports_differences
    COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/fails_as_expected.py 1
            "-out Hidden window: Calculator\\\\n\n +\\+out Hidden window: Calc\\\\n.*0 passed, 1 failed"
            ${Python3_EXECUTABLE} ${scenario_runner} --exe $<TARGET_FILE:quillex>
            ${CMAKE_CURRENT_SOURCE_DIR}/scenarios/broken)

# How the Wine host tells which loaders start; runs without Wine.
add_test(NAME wine_host_probes_loaders
    COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/wine/winehost_test.py)

# Every example of the user's guide is one that a test runs.
add_test(NAME guide_examples_are_tested
    COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/docs/check_guide.py
            ${CMAKE_SOURCE_DIR}/docs/guide.md ${CMAKE_CURRENT_SOURCE_DIR}/scenarios/corpus)
add_test(NAME guide_checker_reports_drift
    COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/fails_as_expected.py 1
            "output 'Hid window: Calc.n', but the scenario prints 'Hidden window: Calc.n'.*exit code 1, but the scenario ends with .'0'.*:13: example .an example without a test marker.*batch no-such-recipe is not run.*quillex.exe /w:.title /hide. calls quillex.exe in a way that depends on the PowerShell version"
            ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/docs/check_guide.py
            ${CMAKE_CURRENT_SOURCE_DIR}/docs/broken-guide.md
            ${CMAKE_CURRENT_SOURCE_DIR}/scenarios/corpus)

# The JSON listing agrees with the text listing on random desktops.
add_test(NAME json_listing_agrees_with_text
    COMMAND Python3::Interpreter ${scenario_runner} --exe $<TARGET_FILE:quillex> --random-json 300)

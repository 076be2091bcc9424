<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AboutDialog</name>
    <message>
        <source>About...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ProgramNameLabel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Build:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copyright © 2026 Orvex. Licensed under the &lt;a href=&quot;licence:&quot;&gt;GNU GPL, version 3 or later&lt;/a&gt;.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ComparisonWindow</name>
    <message>
        <source>Compare runs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>* The runs differ in this setting.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy as text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>Battery history</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Health and cycle count</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery health chart</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Runs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Double-click a run to open its results. Select two or more runs to compare them.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Compare</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Orvex Ampero</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Power system information </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mode:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BettaryModeLabel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Level:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Power:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>—</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Health:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Full energy as a percentage of the design energy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Mode </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current action:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>idle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Elapsed time:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0:00:00</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Processor information </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Processor:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CPUNameLabel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CurrentCPUSpeed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Alt+F4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shift+F1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Fast mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Normal mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show &amp;power on chart</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Save graph...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Compare with...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C&amp;lear comparison</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C&amp;urves by share of battery life</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check for &amp;updates...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Battery level graph </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>N&amp;o load CPU</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open &amp;Recent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S&amp;how results</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Clear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Battery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;History...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ResultsWindow</name>
    <message>
        <source>Testing results</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Report file </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Report file name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Testing options </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test mode:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>System forecast:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>By test results:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Mark </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>N/A</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Energy </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Average power:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energy used:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery health:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>By energy:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save graph</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open report folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Battery life </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load CPU:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StartTestDialog</name>
    <message>
        <source>Test mode:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TestModeLabel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BurnStatus</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start a test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The program is ready to test your laptop&apos;s battery. You have chosen these settings:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If these settings are right, press &quot;Start test&quot;, then choose a file name for the test report. You can also cancel the test.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load CPU:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hold the screen at this brightness for the whole test and put it back at its end, so that tests on different days or machines compare.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set screen &amp;brightness:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Screen brightness</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TestProgressDialog</name>
    <message>
        <source>fTestProcess</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Testing...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero</name>
    <message>
        <source>fast</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>normal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>full</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>N/A</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>s</source>
        <comment>plural ending of &quot;mark&quot;</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do%20not%20forget%20to%20include%20information%20about%20your%20laptop%20and%20battery.%0a%0dAlso%20attach%20report%20file:%20</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ready for test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not ready for test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>testing disabled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>powered by battery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>powered by AC</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>testing...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>testing interrupted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>testing completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Update</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The power source &quot;upower&quot; takes no argument: &quot;%1&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>UPower does not answer on the system bus.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The power source &quot;sysfs:&quot; needs a folder after the colon.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The power supply folder &quot;%1&quot; does not exist.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a folder of power supplies.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The simulated battery needs a whole number of seconds per percent from 1 to %1, not &quot;%2&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown power source &quot;%1&quot;; use upower, sysfs[:DIR] or sim[:N].</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery level, %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The axis maximum %1 is below the axis minimum %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>full CPU load</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot read the animation %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The axis maximum %1 is not a finite number.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file name &quot;%1&quot; cannot be written as it is shown. Choose another name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file is incomplete: the test did not end normally, so it has no work count, capacity or level-change times.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 days %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 mark%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Report file name: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test mode: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load CPU: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>System forecast: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>By test results: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mark: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>testing... (%1, %2): </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The simulated battery&apos;s setting &quot;%1&quot; needs the form key=value.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The simulated battery&apos;s seed is a whole number from 0 to 4294967295, not &quot;%1&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The simulated battery&apos;s setting &quot;%1&quot; takes a number from %2 to %3, not &quot;%4&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The simulated battery takes seconds per percent or a base power, not both.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load CPU</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>System forecast</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Measured battery life</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Average power</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energy used</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery health</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Machine</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kernel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Power profile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Brightness</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Governor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>* The runs differ in this setting.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Share of battery life, %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Level, %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 W</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Wh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Average power: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energy used: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery health: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>By energy: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The simulated battery&apos;s setting &quot;%1&quot; is given twice.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the companion file could not be written: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server answered with HTTP status %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no answer in time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the connection was refused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server was not found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a network error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The update server could not be reached: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>battery level unknown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the machine was suspended at %1%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the machine was suspended before the first sample</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the program stood still for %1 seconds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No program on this desktop could open it. You can open it by hand:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 day %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The simulated battery&apos;s level is a whole number from 1 to 100, not &quot;%1&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The simulated battery&apos;s drain is &quot;idle&quot; or &quot;test&quot;, not &quot;%1&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The simulated battery has no setting &quot;%1&quot;; use capacity, health, voltage, base, load, noise, plateau, end, halfway, seed, level or drain.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A new version is available: %1.%2.%3 build #%4. Download it?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You are running the latest version. No update is available.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no battery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>on AC power</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>power source unknown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>battery below %1%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save graph</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no load CPU</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Orvex Ampero Results Files (*.apr *.APR)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 V</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A long extrapolation: the charge fell by only %1% during the test.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A fast test&apos;s line misses the true battery life by %1% on average and by up to %2%.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The mark comes from an estimated work count (a test without load), not a counted one.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (estimated)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Marks of tests without load come from an estimated work count and cannot be compared with marks of tests with load.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Full battery, by test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The battery life the system forecast for a full battery when the test started, at the power drawn then.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The time the test measured from the level it started at to the level it ended at; a fast test&apos;s line goes on to 0%.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The battery life by test results scaled to a full battery: that time x 100 / the points of charge it covered. It compares with the system forecast.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The battery life the battery&apos;s own energy gives: the time the test ran, plus the energy left then at the average power.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The work the processors did over the battery life, per watt-hour of capacity and scaled to a full battery. Only a normal test gets one.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The power the battery gave on average during the test, from its energy readings (or its power readings where the energy is unknown).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The energy the battery gave during the test, from its first to its last energy reading.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The battery&apos;s full energy as a percentage of its design energy, as the battery reported them during the test.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Full battery, by test: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown machine</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The battery history is empty.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Machine %1: %2, kernel %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery snapshots:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>health %1  cycles %2  full %3  design %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Runs:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>life %1  mark %2  health %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1  %2  health %3  cycles %4  runs %5  last run %6</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery level chart</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery level, %1 samples</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, from %1 to %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, forecast line to %1 at %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery level</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Forecast</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Full load</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Office</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Web</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (workloads v%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, processor part only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 units (%3%)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Work done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bursts on time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Work done: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bursts on time: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 workload v%2, processor part only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>this machine has no backlight whose brightness can be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1% (raw %2 of %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Brightness set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the brightness to put back cannot be saved in %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Brightness set: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the screen brightness an earlier test left could not be put back: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Date</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero::AboutDialog</name>
    <message>
        <source>Licence</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Orvex Ampero is free software: you can redistribute it and/or modify it under the terms of the GNU General Public License as published by the Free Software Foundation, either version 3 of the License, or (at your option) any later version. Show Details... shows its text.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero::BrightnessHold</name>
    <message>
        <source>a brightness of %1% is not between 1% and 100%</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero::ComparisonWindow</name>
    <message>
        <source>The runs differ in this setting.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero::GuiProgram::Parts</name>
    <message>
        <source>%1 no longer exists. It has been removed from the recent files.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the results cannot be shown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open results</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The companion file could not be written: %1. The test goes on without it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The battery history cannot be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Runs can be opened once the test has ended.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(no file recorded)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The results file of this run is gone (moved or deleted):
%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The results files of these runs are gone (moved or deleted):
%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero::HistoryWindow</name>
    <message>
        <source>(estimated)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Health, %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Workload</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery life</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Full battery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Average power</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Health</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cycle count</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery health, no figures yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery health</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, from %1 to %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; cycle count from %1 to %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero::LogindBrightness</name>
    <message>
        <source>systemd-logind cannot be reached</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>this program runs in no login session (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>systemd-logind refused: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero::MainWindow</name>
    <message>
        <source>Power</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Power, W</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Workload</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Full load</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Reading</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Office</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Web</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Video</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero::ProgressLine</name>
    <message>
        <source>%1  level %2%  level changes %3</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero::ResultsWindow</name>
    <message>
        <source>Testing results</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (incomplete)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mail the report file to %1:
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Full battery, by test:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero::RunComparison</name>
    <message>
        <source>Compare with</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>These files cannot be read:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>At most %1 runs can be compared at once. Not added:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear the comparison to compare other runs.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Measured curve</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero::TestSession</name>
    <message>
        <source>no battery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The test was interrupted: the set of batteries changed from %1 to %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>this program cannot set it here</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The test cannot start: the screen brightness cannot be set (%1).</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ampero::UsageBars</name>
    <message>
        <source>Processor %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>

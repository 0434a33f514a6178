#!/usr/bin/env bash
# End to end: the built program on a virtual 1920x1080 screen, driven with xdotool
# like a person, with a stand-in annotation program listening as "Scribvane".
# Usage: launcher_e2e.sh KELVORA COPYDATAPEER OUTPUT_DIR
# Runs itself again inside xvfb-run.
set -euo pipefail

kelvora=$1 peer=$2 out=$3
source "$(dirname "$0")/driving.sh"
enter_virtual_screen "$@"
export OPTRELLE_CAMERAS=15aa:1555@640x480
new_home home
heard=$out/scribvane.txt
heard_lines() { [[ $(wc -l < "$heard") -ge $1 ]]; }

"$peer" listen Scribvane "$heard" & pids+=($!)
wait_for "the stand-in annotation program" "$peer" probe Scribvane
: > "$heard"

# --- Run 1: look at the bar, press every button, leave with Exit.
"$kelvora" & app=$!; pids+=($app)
wait_for "the launcher bar" has_window VizaviRerer
bar=$(window_of VizaviRerer)
eval "$(xdotool getwindowgeometry --shell "$bar")"
[[ $WIDTH == 50 && $HEIGHT == 254 ]] || fail "bar is ${WIDTH}x${HEIGHT}, not 50x254"
[[ $X == 1868 && $Y == 784 ]] || fail "bar stands at $X,$Y, not at the right edge (1868,784)"
import -window root "$out/launcher.png"

press() { xdotool mousemove $((1868 + 25)) $((784 + $1 * 32 + 15)) click 1; }
rows_without_dialog=(0 1 3 4 5 6) # compare, record, edit, snap, visualizer, desktop
count=0
for row in "${rows_without_dialog[@]}"; do
    press "$row"
    count=$((count + 1))
    wait_for "ClearSrn number $count" heard_lines $count
done

press 2 # PowerPoint: not installed here, so the program says where to set it
wait_for "ClearSrn of the PPT button" heard_lines 7
wait_for "the PowerPoint message" has_window 提示
box=$(window_of 提示)
import -window root "$out/ppt-message.png"
xdotool windowfocus --sync "$box" key Return
wait_for "the message to close" has_no_window 提示

press 7 # Exit
wait "$app" || fail "Kelvora ended with status $?"
wait_for "the goodbye" heard_lines 9

expected_heard=$(printf 'ClearSrn\n%.0s' 1 2 3 4 5 6 7; printf 'Exit\nExit\n')
[[ $(cat "$heard") == "$expected_heard" ]] || fail "annotation program heard: $(cat "$heard")"

messages=$(sed -e 's/^.\{22\}//' -e 's/  kelvora\r$//' "$log")
expected_start=$(printf '%s\n' 程序初始化 m_pMainWidget创建对象 准备创建视频窗口 \
    准备打开摄像头启动预览 摄像头个数为1 "主头索引为: 0, 副头索引为: -1" 启动摄像头0预览 \
    设置视频回调 准备初始化分辨率 m_pDrawPanel创建对象 m_pCompare创建对象 \
    m_pImageViewWidget创建对象 m_pScreenRec创建对象 m_pVideoWidget创建对象 \
    "准备创建工作目录: $HOME/Documents/Kelvora" 准备读取配置信息 resizeEvent 初始化设置完成)
[[ $(head -n 18 <<< "$messages") == "$expected_start" ]] || fail "start-up log: $messages"
[[ $(grep -c '^查找到画板窗口$' <<< "$messages") == 7 ]] || fail "ClearSrn log lines: $messages"
[[ $(grep -v '^sceneEvent$' <<< "$messages" | tail -n 4) == \
    $'OnExit 程序退出\n~QMainWidget()\n~Kelvora()\nOnExit 程序退出' ]] \
    || fail "exit log: $messages"
grep -qE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}   程序初始化  kelvora'$'\r''$' "$log" \
    || fail "log line format"
[[ -d $HOME/Documents/Kelvora ]] || fail "no work directory"
[[ ! -e $HOME/Documents/Kelvora/conf.ini ]] || fail "conf.ini written at start-up"

# --- Run 2: the annotation program asks Kelvora to end.
: > "$heard"
"$kelvora" & app=$!; pids+=($app)
wait_for "the launcher bar again" has_window VizaviRerer
wait_for "the launcher to listen" "$peer" probe VizaviRerer
"$peer" send VizaviRerer "please Exit now" || true
status=0; wait "$app" || status=$?
[[ $status == 0 ]] || fail "a received Exit ended Kelvora with status $status"
[[ $(cat "$heard") == Exit ]] || fail "Exit was not forwarded: $(cat "$heard")"
tail -n 4 "$log" | grep -q 'Kelvora::winEvent 程序退出' || fail "no exit line in the log"

echo "launcher end-to-end: all checks passed; screenshots in $out"

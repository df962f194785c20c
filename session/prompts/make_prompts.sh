#!/usr/bin/env bash
# Generates the voice prompts prompt_<id>.wav (Mandarin, espeak-ng + sox). Run once;
# the .wav files are committed and compiled into the library, so building needs
# neither tool. Needs: espeak-ng, sox, libsox-fmt-all. Output is reproducible (-R).
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# make_prompt ID RATE BITS SAMPLES TEXT: speak TEXT, trim its silence, speed it up
# when it would not fit (speech fills at most 90 % of the prompt), then resample,
# pad with silence and cut to exactly SAMPLES samples.
make_prompt() {
  local id=$1 rate=$2 bits=$3 samples=$4 text=$5
  local encoding=signed-integer
  [ "$bits" = 8 ] && encoding=unsigned-integer
  espeak-ng -v cmn-latn-pinyin -s 160 -w "$tmp/raw.wav" "$text"
  sox "$tmp/raw.wav" "$tmp/trim.wav" silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse
  local spoken target tempo
  spoken=$(soxi -D "$tmp/trim.wav")
  target=$(awk -v s="$samples" -v r="$rate" 'BEGIN { printf "%.4f", s / r * 0.9 - 0.05 }')
  tempo=$(awk -v a="$spoken" -v b="$target" 'BEGIN { printf "%.4f", (a > b) ? a / b : 1 }')
  if [ "$tempo" != "1.0000" ]; then
    sox -R "$tmp/trim.wav" "$tmp/fit.wav" tempo -s "$tempo"
  else
    cp "$tmp/trim.wav" "$tmp/fit.wav"
  fi
  sox -R "$tmp/fit.wav" -b "$bits" -e "$encoding" -c 1 "prompt_$id.wav" \
    gain -3 rate -v "$rate" gain -n -1 pad 0.05 10 trim 0 "${samples}s"
  echo "prompt_$id.wav: $text (spoken $spoken s, tempo $tempo)"
}

# id  rate  bits samples text (role)
make_prompt 201 16000 16 24000 "请对准镜头"        # pupil or iris not in place
make_prompt 202 16000 16 21440 "注册失败"          # enrollment failed
make_prompt 203 16000 16 22240 "注册成功"          # enrollment completed
make_prompt 204 16000 16 25600 "请直视镜头"        # gaze off the lens
make_prompt 205 16000 16 21280 "识别超时"          # match time-out
make_prompt 206 16000 16 22080 "识别成功"          # match found
make_prompt 207 16000 16 14240 "请调整"            # any other rejection
make_prompt 208 16000 16 24800 "请调整距离"        # pupil too dark, too small or too large
make_prompt 209 16000 16 31040 "请睁大眼睛"        # eyelids or lashes cover the iris
make_prompt 210 16000 16 38400 "请保持不动"        # image out of focus or without texture
make_prompt 215 32000 8 67520 "第一步完成，请继续"  # first step done, second begins

# Loudness measurement with ffmpeg's ebur128 filter, for the demo and the
# real-host tests. Source this file; every function prints numbers only.

# integrated FILE [START_S DURATION_S] -> integrated loudness in LUFS
integrated() {
  local file=$1 range=()
  [ $# -ge 3 ] && range=(-ss "$2" -t "$3")
  ffmpeg -hide_banner -nostats -nostdin "${range[@]}" -i "$file" -af ebur128 -f null - 2>&1 |
    awk '/Integrated loudness:/ {s=1} s && /I:/ {print $2; exit}'
}

# summary FILE -> "I LRA TP": integrated loudness (LUFS), loudness range (LU)
# and true peak (dBTP, from the per-frame peaks, to 0.01 dB)
summary() {
  local file=$1 meta
  meta=$(mktemp)
  local text
  text=$(ffmpeg -hide_banner -nostats -nostdin -i "$file" \
           -af "ebur128=peak=true:metadata=1,ametadata=mode=print:key=lavfi.r128.true_peak:file=$meta" \
           -f null - 2>&1)
  local i lra tp
  i=$(awk '/Integrated loudness:/ {s=1} s && /I:/ {print $2; exit}' <<<"$text")
  lra=$(awk '/Loudness range:/ {s=1} s && /LRA:/ {print $2; exit}' <<<"$text")
  tp=$(awk -F= '/true_peak=/ { if ($2 > m) m = $2 } END { if (m > 0) printf "%.2f", 20 * log(m) / log(10); else print "-inf" }' "$meta")
  rm -f "$meta"
  echo "$i $lra $tp"
}

# short_term FILE -> one line "time_s S_lufs" per 100 ms frame
short_term() {
  local file=$1 meta
  meta=$(mktemp)
  ffmpeg -hide_banner -nostats -nostdin -i "$file" \
    -af "ebur128=metadata=1,ametadata=mode=print:key=lavfi.r128.S:file=$meta" -f null - >/dev/null 2>&1
  awk '/pts_time:/ { for (i = 1; i <= NF; i++) if ($i ~ /^pts_time:/) { split($i, a, ":"); t = a[2] } }
       /lavfi.r128.S=/ { split($0, b, "="); print t, b[2] }' "$meta"
  rm -f "$meta"
}

# median_between START END < "time value" lines -> median value in [START, END)
median_between() {
  awk -v s="$1" -v e="$2" '$1 >= s && $1 < e && $2 > -70 { v[n++] = $2 }
    END { if (n == 0) { print "-inf"; exit }
          for (i = 0; i < n; i++) for (j = i + 1; j < n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
          printf "%.1f", v[int(n / 2)] }'
}

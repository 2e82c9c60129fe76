# The hide and restore latency distributions of the input bench, as cumulative curves.
# gnuplot -e "samples='FILE'; output='PNG'" latency.gnuplot
set terminal pngcairo size 1000,420 font ",10"
set output output
set multiplot layout 1,2
set logscale x
set xlabel "latency under Wine (µs, log scale)"
set ylabel "share of samples at or below"
set yrange [0:1]
set grid
set key bottom right
curve(setup, event) = sprintf("< awk '$1==\"%s\" && $2==\"%s\" {print $3}' %s", setup, event, samples)
do for [event in "hide restore"] {
    set title event." (SendInput until the application has the message)"
    plot curve("none", event) using 1:(1) smooth cnormal with lines lw 2 title "no hiding", \
         curve("floor", event) using 1:(1) smooth cnormal with lines lw 2 title "floor", \
         curve("vimlet", event) using 1:(1) smooth cnormal with lines lw 2 title "Vimlet"
}
unset multiplot

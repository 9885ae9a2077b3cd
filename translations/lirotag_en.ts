<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>lirotag::Core</name>
    <message>
        <source>ANSI</source>
        <translation>ANSI</translation>
    </message>
</context>
<context>
    <name>lirotag::SettingsWindow</name>
    <message>
        <source>以下字段不分大小写<byte value="xd"/>
%LocalDir%：歌曲所在目录，不包含末尾“\”<byte value="xd"/>
%FileName%：歌曲文件名，不包含扩展名<byte value="xd"/>
%FullName%：含扩展名的歌曲文件名<byte value="xd"/>
%Ext%：扩展名<byte value="xd"/>
<byte value="xd"/>
%Title%：歌曲标签内的『标题』<byte value="xd"/>
%Artist%：歌曲标签内的『艺术家』<byte value="xd"/>
%Album%：歌曲标签内的『专辑』</source>
        <translation>Field names are not case-sensitive
%LocalDir%: the song&apos;s folder, without the trailing &quot;\&quot;
%FileName%: the song&apos;s file name without extension
%FullName%: the song&apos;s file name with extension
%Ext%: the extension

%Title%: the &quot;Title&quot; in the song&apos;s tags
%Artist%: the &quot;Artist&quot; in the song&apos;s tags
%Album%: the &quot;Album&quot; in the song&apos;s tags</translation>
    </message>
    <message>
        <source>请注意，不是所有播放器都支持带3位小数的歌词文件。<byte value="xd"/>
而且，以1/1000秒为分度值并不比1/100秒精确很多。<byte value="xd"/>
选择此项，很有可能导致生成的.LRC文件不可用！<byte value="xd"/>
是否要继续？</source>
        <translation>Note that not all players support lyric files with 3 decimals.
And timing to 1/1000 s is hardly more precise than to 1/100 s.
With this option, the saved .LRC files may well be unusable!
Continue?</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>设置附加信息</source>
        <translation>Edit tags</translation>
    </message>
    <message>
        <source>完全模式（输入全部4个字段）</source>
        <translation>Full mode (enter all 4 fields)</translation>
    </message>
    <message>
        <source>快速模式（输入歌词制作人，其他从音乐文件读取）</source>
        <translation>Quick mode (type the maker, rest from song tags)</translation>
    </message>
    <message>
        <source>歌词制作人：</source>
        <translation>Lyrics by:</translation>
    </message>
    <message>
        <source>写出歌词时自动添加</source>
        <translation>Add when saving</translation>
    </message>
    <message>
        <source>保存歌词</source>
        <translation>Save lyrics</translation>
    </message>
    <message>
        <source>每次都弹出对话框选择位置</source>
        <translation>Always ask where to save</translation>
    </message>
    <message>
        <source>自动保存在以下位置</source>
        <translation>Save automatically to:</translation>
    </message>
    <message>
        <source>哪些字段可用？</source>
        <translation>Which fields?</translation>
    </message>
    <message>
        <source>保存位置</source>
        <translation>Save location</translation>
    </message>
    <message>
        <source>文本编码</source>
        <translation>Encoding</translation>
    </message>
    <message>
        <source>其他</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>歌词区背景颜色</source>
        <translation>Background</translation>
    </message>
    <message>
        <source>普通文本颜色</source>
        <translation>Normal text</translation>
    </message>
    <message>
        <source>高亮文本颜色</source>
        <translation>Highlight</translation>
    </message>
    <message>
        <source>退出时询问</source>
        <translation>Ask on exit</translation>
    </message>
    <message>
        <source>时间标签精确到1/1000秒</source>
        <translation>Time tags to 1/1000 s</translation>
    </message>
    <message>
        <source>界面语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>界面语言，下次启动时生效<byte value="xd"/>
自动：随系统的语言（英语系统为英文，其他为中文）</source>
        <translation>Interface language, used from the next start
Automatic: follows the system (English on an English system, Chinese otherwise)</translation>
    </message>
    <message>
        <source>完全模式：单击『设置附加信息』按钮后，将弹出对话框，来设置歌词的4个附加信息</source>
        <translation>Full mode: &quot;Edit tags&quot; opens a dialog to set the lyrics&apos; 4 tags</translation>
    </message>
    <message>
        <source>快速模式：单击『设置附加信息』按钮后，自动读取歌曲文件的Title、Artist、Album，并根据设置的『歌词制作人』来填充</source>
        <translation>Quick mode: &quot;Edit tags&quot; reads Title, Artist and Album from the song file and fills in &quot;Lyrics by&quot; from this setting</translation>
    </message>
    <message>
        <source>写出.LRC文件前自动设置附加信息，仅限快速模式</source>
        <translation>Set the tags automatically before writing the .LRC file (quick mode only)</translation>
    </message>
    <message>
        <source>选择写出的.LRC歌词所采用的编码方式<byte value="xd"/>
建议选择UTF16以便在不同语言的机器上正常显示</source>
        <translation>The text encoding of saved .LRC lyrics
UTF16 is recommended so that they display correctly on systems in any language</translation>
    </message>
    <message>
        <source>生成的时间标签精确到1/1000秒（3位小数），否则为1/100秒（2位）<byte value="xd"/>
注意，有些播放器不支持含3位小数的歌词文件</source>
        <translation>Write time tags to 1/1000 s (3 decimals) instead of 1/100 s (2 decimals)
Note: some players cannot read lyrics with 3 decimals</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
</context>
</TS>
